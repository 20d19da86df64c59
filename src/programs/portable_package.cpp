// Portable layouts as data: where a package keeps its browser and its
// launcher, and where raw builds keep their profiles.
#include "programs/portable_package.h"

#include <vector>

#include "output/text.h"
#include "platform/platform.h"

namespace portable_package {

namespace {

// A package: the launcher matches launcher in the package's folder and
// starts the browser in inner, a folder path beneath it where * stands for
// any one folder name.
struct PackageLayout {
    const wchar_t* inner;
    const wchar_t* launcher;
};
constexpr PackageLayout kPackages[] = {
    {L"App\\*", L"*Portable.exe"},  // PortableApps.com: FooPortable\App\Foo\foo.exe
    {L"app", L"*-portable.exe"},     // foo-portable.exe beside app\foo.exe
    {L"*", L"*-Portable.exe"},       // Foo-Portable.exe beside Foo\foo.exe
    {L"bin", L"*.exe"},              // a launcher one level up from bin\foo.exe
};

// A browser family: the files beside its exe that tell it, the flag that
// names a profile folder, and where raw builds keep that folder, relative to
// the exe's folder or the one above it.
struct Family {
    const wchar_t* markers[2];  // null: no second marker
    const wchar_t* flag;        // as written before the quoted path
    const wchar_t* flagWord;    // what an argument that already names a profile holds
    const wchar_t* profiles[3];  // null: no more
};
constexpr Family kFamilies[] = {
    {{L"chrome_elf.dll", nullptr}, L"--user-data-dir=", L"--user-data-dir",
     {L"User Data", L"USER_DATA", L"profile"}},
    {{L"xul.dll", L"omni.ja"}, L"-profile ", L"-profile", {L"profile", L"Data\\profile", nullptr}},
};

std::wstring ParentOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring LastStep(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

// The package folder that holds folder as layout's inner path, or empty.
std::wstring PackageHolding(std::wstring folder, const std::wstring& inner) {
    std::wstring steps = inner;
    while (!steps.empty()) {
        const std::wstring step = LastStep(steps);
        if (folder.empty() || (step != L"*" && !EqualsIgnoringCase(LastStep(folder), step))) {
            return std::wstring();
        }
        folder = ParentOf(folder);
        steps = ParentOf(steps);
    }
    return folder;
}

bool ContainsIgnoringCase(const std::wstring& text, const std::wstring& part) {
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (EqualsIgnoringCase(text.substr(at, part.size()), part)) {
            return true;
        }
    }
    return false;
}

bool IsOfFamily(const std::wstring& folder, const Family& family) {
    for (const wchar_t* marker : family.markers) {
        if (marker != nullptr && !platform::IsExistingFile(folder + L"\\" + marker)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::wstring> LauncherOf(const std::wstring& program) {
    for (const PackageLayout& layout : kPackages) {
        const std::wstring package = PackageHolding(ParentOf(program), layout.inner);
        if (package.empty()) {
            continue;
        }
        const std::vector<std::wstring> launchers = platform::FindFiles(package, layout.launcher);
        if (launchers.size() == 1) {
            return package + L"\\" + launchers.front();
        }
    }
    return std::nullopt;
}

std::optional<ProfileFlag> ProfileFlagFor(const std::wstring& program,
                                          const std::wstring& arguments) {
    const std::wstring folder = ParentOf(program);
    for (const Family& family : kFamilies) {
        if (folder.empty() || !IsOfFamily(folder, family)) {
            continue;
        }
        if (ContainsIgnoringCase(arguments, family.flagWord)) {
            return std::nullopt;  // a shortcut already names the profile
        }
        std::vector<std::wstring> found;
        for (const std::wstring& base : {folder, ParentOf(folder)}) {
            for (const wchar_t* profile : family.profiles) {
                if (profile == nullptr || base.empty()) {
                    continue;
                }
                const std::wstring candidate = base + L"\\" + profile;
                if (platform::IsExistingDirectory(candidate)) {
                    found.push_back(candidate);
                }
            }
        }
        if (found.size() != 1) {
            return std::nullopt;
        }
        return ProfileFlag{family.flag + (L"\"" + found.front() + L"\""), found.front()};
    }
    return std::nullopt;
}

}  // namespace portable_package

// Portable layouts as data: where a package keeps its browser and its
// launcher, and where raw builds keep their profiles.
#include "programs/portable_package.h"

#include <vector>

#include "output/text.h"
#include "platform/platform.h"
#include "programs/ini_file.h"

namespace portable_package {

namespace {

// A package: the launcher matches launcher in the package's folder and
// starts the browser in inner, a folder path beneath it where * stands for
// any one folder name. What a launcher claims by its name alone, relative to
// the package, has * for that name without the pattern's fixed part: a folder
// (ending in \) whose programs it starts, or the one program it starts.
struct PackageLayout {
    const wchar_t* inner;
    const wchar_t* launcher;
    const wchar_t* claims[2];  // null: no more
};
constexpr PackageLayout kPackages[] = {
    // PortableApps.com: FooPortable\App\Foo\foo.exe (its launcher's .ini,
    // when there is one, names the program instead).
    {L"App\\*", L"*Portable.exe", {L"App\\*\\", L"App\\*64\\"}},
    {L"app", L"*-portable.exe", {L"app\\*.exe", nullptr}},  // foo-portable.exe beside app\foo.exe
    {L"*", L"*-Portable.exe", {L"*\\", nullptr}},          // Foo-Portable.exe beside Foo\foo.exe
    {L"bin", L"*.exe", {L"bin\\*.exe", nullptr}},          // foo.exe one level up from bin\foo.exe
};

// A PortableApps.com launcher reads App\AppInfo\Launcher\<name>.ini, and its
// user's settings from <name>.ini beside it.
constexpr const wchar_t* kLauncherIniFolder = L"\\App\\AppInfo\\Launcher\\";
// The keys of its [Launch] section that name the program when it is given
// parameters, as a link is, in the order it tries them; paths are relative to
// App\. The 64 ones count only on 64-bit Windows.
struct ProgramKey {
    const wchar_t* name;
    bool only64;
};
constexpr ProgramKey kProgramKeys[] = {
    {L"ProgramExecutableWhenParameters64", true},
    {L"ProgramExecutable64", true},
    {L"ProgramExecutableWhenParameters", false},
    {L"ProgramExecutable", false},
};
// Larger .ini files than any launcher writes are not read.
constexpr std::size_t kMaxIniBytes = 64 * 1024;

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

bool EndsWithIgnoringCase(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           EqualsIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

bool IsOfFamily(const std::wstring& folder, const Family& family) {
    for (const wchar_t* marker : family.markers) {
        if (marker != nullptr && !platform::IsExistingFile(folder + L"\\" + marker)) {
            return false;
        }
    }
    return true;
}

// The file name of path without its extension: a launcher's name.
std::wstring BaseName(const std::wstring& path) {
    const std::wstring file = LastStep(path);
    return file.substr(0, file.find_last_of(L'.'));
}

// The entries of the .ini file at path; nothing when it is too large to be
// one (a file that cannot be read holds none).
std::optional<std::vector<ini_file::Entry>> ReadIni(const std::wstring& path) {
    const std::vector<std::uint8_t> bytes = platform::ReadFileStart(path, kMaxIniBytes + 1);
    if (bytes.size() > kMaxIniBytes) {
        return std::nullopt;
    }
    return ini_file::Entries(ini_file::Decode(bytes, platform::AnsiText));
}

// Unknown counts as 32-bit.
bool Is64BitWindows() {
    const std::uint16_t machine = platform::NativeMachine();
    return machine == 0x8664 || machine == 0xAA64;
}

// What a PortableApps.com launcher's own .ini says it starts.
struct NamedProgram {
    bool described = false;               // the launcher has its .ini
    std::optional<std::wstring> program;  // the full path it names, if any
};

NamedProgram PortableAppsProgram(const std::wstring& launcher) {
    const std::wstring package = ParentOf(launcher);
    const std::wstring path = package + kLauncherIniFolder + BaseName(launcher) + L".ini";
    NamedProgram named;
    named.described = platform::IsExistingFile(path);
    const auto entries = named.described ? ReadIni(path) : std::nullopt;
    for (const ProgramKey& key : kProgramKeys) {
        if (!entries || (key.only64 && !Is64BitWindows())) {
            continue;
        }
        const std::optional<std::wstring> value = ini_file::Value(*entries, L"Launch", key.name);
        if (value && !value->empty()) {
            // A program that ..\ places outside App\ is no browser of this
            // package: it may be any other one on the PC.
            const std::wstring app = package + L"\\App\\";
            const std::wstring program = platform::FullPath(app + *value);
            if (program.size() > app.size() &&
                EqualsIgnoringCase(program.substr(0, app.size()), app)) {
                named.program = program;
            }
            break;
        }
    }
    return named;
}

// Whether the user's <name>.ini beside a PortableApps.com launcher has it add
// parameters after those it is given. It reads the line wherever it is, so
// any non-empty AdditionalParameters counts, in any section.
bool AddsParameters(const std::wstring& launcher) {
    const std::wstring path = ParentOf(launcher) + L"\\" + BaseName(launcher) + L".ini";
    if (!platform::IsExistingFile(path)) {
        return false;
    }
    const auto entries = ReadIni(path);
    if (!entries) {
        return true;  // unread: it may add some
    }
    for (const ini_file::Entry& entry : *entries) {
        if (EqualsIgnoringCase(entry.key, L"AdditionalParameters") && !entry.value.empty()) {
            return true;
        }
    }
    return false;
}

// The launcher's file name without the fixed part of pattern ("*Portable.exe"),
// or nothing when pattern does not match it.
std::optional<std::wstring> NameIn(const std::wstring& file, const std::wstring& pattern) {
    const std::wstring fixed = pattern.substr(1);
    if (file.size() <= fixed.size() || !EndsWithIgnoringCase(file, fixed)) {
        return std::nullopt;
    }
    return file.substr(0, file.size() - fixed.size());
}

// Whether a claim of a layout, made with the launcher's name, is inner.
bool ClaimsByName(const std::wstring& package, std::wstring claim, const std::wstring& name,
                  const std::wstring& inner) {
    claim.replace(claim.find(L'*'), 1, name);
    if (claim.back() == L'\\') {
        claim.pop_back();
        return EqualsIgnoringCase(ParentOf(inner), package + L"\\" + claim);
    }
    return EqualsIgnoringCase(inner, package + L"\\" + claim);
}

bool HoldsChromeElf(const std::wstring& folder) {
    for (const std::wstring& file : platform::FindFiles(folder, L"*_elf.dll")) {
        if (file.size() > 8 && EndsWithIgnoringCase(file, L"_elf.dll")) {
            return true;
        }
    }
    return false;
}

// A folder name made of four numbers and three dots, as 120.0.6099.71.
bool IsVersionName(const std::wstring& name) {
    std::size_t numbers = 0;
    std::size_t digits = 0;
    for (wchar_t ch : name + L".") {
        if (ch >= L'0' && ch <= L'9') {
            ++digits;
        } else if (ch == L'.' && digits > 0) {
            ++numbers;
            digits = 0;
        } else {
            return false;
        }
    }
    return numbers == 4;
}

// The Chromium family keeps chrome_elf.dll (msedge_elf.dll, …) beside its
// exe, or, as its installer lays it out, in the exe's version folder.
bool IsChromiumFolder(const std::wstring& folder) {
    if (folder.empty()) {
        return false;
    }
    if (HoldsChromeElf(folder)) {
        return true;
    }
    std::vector<std::wstring> versions;
    for (const std::wstring& name : platform::FindFolders(folder, L"*")) {
        if (IsVersionName(name)) {
            versions.push_back(name);
        }
    }
    return versions.size() == 1 && HoldsChromeElf(folder + L"\\" + versions.front());
}

bool IsFirefoxFolder(const std::wstring& folder) {
    return !folder.empty() && platform::IsExistingFile(folder + L"\\xul.dll") &&
           platform::IsExistingFile(folder + L"\\omni.ja");
}

}  // namespace

std::optional<std::wstring> LauncherOf(const std::wstring& program) {
    for (const PackageLayout& layout : kPackages) {
        const std::wstring package = PackageHolding(ParentOf(program), layout.inner);
        if (package.empty()) {
            continue;
        }
        const std::vector<std::wstring> launchers = platform::FindFiles(package, layout.launcher);
        if (launchers.size() == 1 && Launches(package + L"\\" + launchers.front(), program)) {
            return package + L"\\" + launchers.front();
        }
    }
    return std::nullopt;
}

bool Launches(const std::wstring& launcher, const std::wstring& inner) {
    const NamedProgram named = PortableAppsProgram(launcher);
    if (named.described) {
        return named.program && EqualsIgnoringCase(*named.program, inner);
    }
    const std::wstring package = ParentOf(launcher);
    for (const PackageLayout& layout : kPackages) {
        const std::optional<std::wstring> name = NameIn(LastStep(launcher), layout.launcher);
        for (const wchar_t* claim : layout.claims) {
            if (name && claim != nullptr && ClaimsByName(package, claim, *name, inner)) {
                return true;
            }
        }
    }
    return false;
}

BrowserFamily CommandLineFamily(const std::wstring& program) {
    const std::wstring folder = ParentOf(program);
    if (IsChromiumFolder(folder)) {
        return BrowserFamily::Chromium;
    }
    if (IsFirefoxFolder(folder)) {
        return BrowserFamily::Firefox;
    }
    // A PortableApps.com launcher starts its program with its own
    // CommandLineArguments, then the parameters it is given, then the user's
    // AdditionalParameters.
    const NamedProgram named = PortableAppsProgram(program);
    return named.program && IsChromiumFolder(ParentOf(*named.program)) && !AddsParameters(program)
               ? BrowserFamily::Chromium
               : BrowserFamily::Other;
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

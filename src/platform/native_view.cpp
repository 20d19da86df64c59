// Paths and shortcuts as the 64-bit shell sees them.
#include "platform/native_view.h"

#include <cstddef>

namespace platform {

namespace {

wchar_t FoldAscii(wchar_t ch) {
    return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
}

bool SameIgnoringCase(const std::wstring& text, std::size_t at, const std::wstring& word) {
    if (text.size() - at < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (FoldAscii(text[at + i]) != FoldAscii(word[i])) {
            return false;
        }
    }
    return true;
}

// The variables whose meaning WOW64 changes, and the names that keep the
// 64-bit one.
struct NativeVariable {
    const wchar_t* name;
    const wchar_t* native;
};
constexpr NativeVariable kNativeVariables[] = {
    {L"ProgramFiles", L"ProgramW6432"},
    {L"CommonProgramFiles", L"CommonProgramW6432"},
};

const wchar_t* NativeNameOf(const std::wstring& name) {
    for (const NativeVariable& variable : kNativeVariables) {
        const std::wstring candidate = variable.name;
        if (name.size() == candidate.size() && SameIgnoringCase(name, 0, candidate)) {
            return variable.native;
        }
    }
    return nullptr;
}

}  // namespace

std::wstring WithNativeVariables(const std::wstring& text) {
    std::wstring out;
    std::size_t i = 0;
    // Names are read in pairs of percent signs, left to right, as
    // ExpandEnvironmentStringsW reads them.
    while (i < text.size()) {
        const std::size_t open = text.find(L'%', i);
        const std::size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            out.append(text, i, std::wstring::npos);
            break;
        }
        out.append(text, i, open - i);
        const std::wstring name = text.substr(open + 1, close - open - 1);
        const wchar_t* native = NativeNameOf(name);
        out += L'%';
        out += native != nullptr ? std::wstring(native) : name;
        out += L'%';
        i = close + 1;
    }
    return out;
}

std::wstring WithNativeSystemDirectory(const std::wstring& path,
                                       const std::wstring& windowsDirectory) {
    if (windowsDirectory.empty()) {
        return path;
    }
    const std::wstring system = windowsDirectory + L"\\System32";
    if (!SameIgnoringCase(path, 0, system) ||
        (path.size() > system.size() && path[system.size()] != L'\\')) {
        return path;
    }
    return windowsDirectory + L"\\Sysnative" + path.substr(system.size());
}

std::wstring NativeShortcutTarget(const shell_link::Link& link, const std::wstring& linkPath,
                                  const ShortcutLookups& lookups) {
    std::wstring relative;
    if (!link.relativePath.empty()) {
        const bool absolute = link.relativePath[0] == L'\\' || link.relativePath[0] == L'/' ||
                              (link.relativePath.size() >= 2 && link.relativePath[1] == L':');
        const std::size_t slash = linkPath.find_last_of(L"\\/");
        const std::wstring folder = slash == std::wstring::npos ? L"" : linkPath.substr(0, slash + 1);
        relative = lookups.fullPath(absolute ? link.relativePath : folder + link.relativePath);
    }
    const std::wstring candidates[] = {
        link.linkInfoPath,
        link.environmentPath.empty() ? std::wstring() : lookups.expand(link.environmentPath),
        relative,
    };
    for (const std::wstring& candidate : candidates) {
        if (!candidate.empty() && lookups.exists(candidate)) {
            return candidate;
        }
    }
    for (const std::wstring& candidate : candidates) {
        if (!candidate.empty()) {
            return candidate;
        }
    }
    return std::wstring();
}

}  // namespace platform

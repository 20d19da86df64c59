#include "file_stem.h"

namespace {

constexpr const wchar_t* kDeviceNames[] = {L"CON", L"PRN", L"AUX", L"NUL"};
constexpr const wchar_t* kNumberedDevices[] = {L"COM", L"LPT"};

bool IsForbidden(wchar_t ch) {
    return ch < 0x20 || std::wstring(L"<>:\"/\\|?*").find(ch) != std::wstring::npos;
}

std::wstring UpperAscii(std::wstring text) {
    for (wchar_t& ch : text) {
        if (ch >= L'a' && ch <= L'z') {
            ch = static_cast<wchar_t>(ch - L'a' + L'A');
        }
    }
    return text;
}

// Whether part, ignoring ASCII case, is a name Windows opens as a device in
// every folder.
bool IsDeviceName(const std::wstring& part) {
    const std::wstring upper = UpperAscii(part);
    for (const wchar_t* device : kDeviceNames) {
        if (upper == device) {
            return true;
        }
    }
    for (const wchar_t* device : kNumberedDevices) {
        if (upper.size() == 4 && upper.compare(0, 3, device) == 0 && upper[3] >= L'1' &&
            upper[3] <= L'9') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::wstring BackupFileStem(const std::wstring& name) {
    std::wstring stem = name;
    for (wchar_t& ch : stem) {
        if (IsForbidden(ch)) {
            ch = L'_';
        }
    }
    // The part before the first dot, less the spaces Windows drops after a
    // device name ("CON .reg" is still the console).
    const std::wstring part = stem.substr(0, stem.find(L'.'));
    const std::size_t deviceEnd = part.find_last_not_of(L' ') + 1;
    if (IsDeviceName(part.substr(0, deviceEnd))) {
        stem.insert(deviceEnd, 1, L'_');
    }
    for (std::size_t end = stem.size(); end > 0 && (stem[end - 1] == L'.' || stem[end - 1] == L' ');
         --end) {
        stem[end - 1] = L'_';
    }
    return stem;
}

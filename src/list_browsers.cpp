// The listing: every browser client registered under StartMenuInternet of
// one or both roots, whoever registered it, with its open command and its web
// associations. Every key is opened for reading only.
#include "marovendel.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;

namespace {

constexpr std::size_t kCommandBytes = 2048;
constexpr std::size_t kAssociationBytes = 512;

// The string a value holds, or false when it is missing, too large for
// maxBytes or not a string at all.
bool ReadString(const Key& key, const wchar_t* name, std::size_t maxBytes, std::wstring& text) {
    registry::ValueData data;
    if (registry::QueryValue(key, name, maxBytes, data) != kSuccess ||
        (data.type != registry::kRegSz && data.type != registry::kRegExpandSz)) {
        return false;
    }
    text = registry::StringFromBytes(data.bytes);
    return true;
}

// Opens the client's subkey for reading; false when the composed path does
// not fit or the key cannot be opened.
bool OpenClientKey(RootKey root, const std::wstring& name, const wchar_t* subPath, Key& key) {
    std::wstring path;
    return FormatBounded(path, kKeyPathCapacity, L"%ls\\%ls\\%ls", kStartMenuInternetPath,
                         name.c_str(), subPath) &&
           registry::OpenKey(root, path, Access::Read, key) == kSuccess;
}

void PrintBrowserPath(RootKey root, const std::wstring& name) {
    Key command;
    std::wstring text;
    if (!OpenClientKey(root, name, L"shell\\open\\command", command) ||
        !ReadString(command, nullptr, kCommandBytes, text)) {
        Print(L"  [Path not found]\n");
        return;
    }
    Print(L"  %ls\n", text.c_str());
}

void PrintURLAssociations(RootKey root, const std::wstring& name) {
    Key associations;
    if (!OpenClientKey(root, name, L"Capabilities\\URLAssociations", associations)) {
        Print(L"  [Capabilities\\URLAssociations not found]\n");
        return;
    }
    std::wstring http;
    std::wstring https;
    const bool haveHttp = ReadString(associations, L"http", kAssociationBytes, http);
    const bool haveHttps = ReadString(associations, L"https", kAssociationBytes, https);
    if (haveHttp && haveHttps && EqualsIgnoringCase(http, https)) {
        Print(L"  http/https: %ls\n", http.c_str());
        return;
    }
    Print(haveHttp ? L"  http: %ls\n" : L"  http: [Not found]\n", http.c_str());
    Print(haveHttps ? L"  https: %ls\n" : L"  https: [Not found]\n", https.c_str());
}

// One root's clients. An enumeration that fails for any reason but the end
// of the list is reported and ends the pass: retrying the same index could
// fail forever.
void ListRoot(RootKey root, const wchar_t* label) {
    Key clients;
    if (registry::OpenKey(root, kStartMenuInternetPath, Access::Read, clients) != kSuccess) {
        Print(L"Failed to open %ls\\SOFTWARE\\Clients\\StartMenuInternet\n", label);
        return;
    }
    for (std::uint32_t index = 0;; ++index) {
        std::wstring name;
        const registry::Status status =
            registry::EnumKey(clients, index, registry::kMaxKeyNameChars, name);
        if (status == registry::kNoMoreItems) {
            return;
        }
        if (status != kSuccess) {
            Print(L"Failed to enumerate %ls\\SOFTWARE\\Clients\\StartMenuInternet\n", label);
            return;
        }
        if (EqualsIgnoringCase(name, L"IEXPLORE.EXE")) {
            continue;
        }
        Print(L"\n%ls \"%ls\"\n", label, name.c_str());
        PrintBrowserPath(root, name);
        PrintURLAssociations(root, name);
    }
}

}  // namespace

void ListBrowsers(const wchar_t* scope) {
    const bool both = scope == nullptr;
    if (both || EqualsIgnoringCase(scope, L"HKLM")) {
        ListRoot(RootKey::LocalMachine, L"HKLM");
    }
    if (both || EqualsIgnoringCase(scope, L"HKCU")) {
        ListRoot(RootKey::CurrentUser, L"HKCU");
    }
}

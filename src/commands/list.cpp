// The listing: every browser client registered under StartMenuInternet of
// one or both roots, whoever registered it, with its open command and its web
// associations. Every key is opened for reading only.
#include "commands/commands.h"
#include "output/text.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;

namespace {

constexpr std::size_t kCommandBytes = 2048;
constexpr std::size_t kAssociationBytes = 512;

// The string a value holds, or false when it is missing, too large for
// maxBytes or not a string at all.
bool ReadString(const Key& key, const wchar_t* name, std::size_t maxBytes, std::wstring& text) {
    return registry::ReadString(key, name, registry::kAcceptAnyString, maxBytes, text) == kSuccess;
}

// Opens a part of a listed client for reading; false when its path does not
// fit or the key cannot be opened.
bool OpenClientKey(RootKey root, const std::wstring& name, registration::ClientPart part,
                   Key& key) {
    const std::optional<std::wstring> path = registration::ListedClientPath(name, part);
    return path && registry::OpenKey(root, *path, Access::Read, key) == kSuccess;
}

void PrintBrowserPath(RootKey root, const std::wstring& name) {
    Key command;
    std::wstring text;
    if (!OpenClientKey(root, name, registration::ClientPart::OpenCommand, command) ||
        !ReadString(command, nullptr, kCommandBytes, text)) {
        Print(L"  [Path not found]\n");
        return;
    }
    Print(L"  %ls\n", text.c_str());
}

void PrintURLAssociations(RootKey root, const std::wstring& name) {
    Key associations;
    if (!OpenClientKey(root, name, registration::ClientPart::UrlAssociations, associations)) {
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
    if (registry::OpenKey(root, registration::kClientsPath, Access::Read, clients) != kSuccess) {
        Print(L"Failed to open %ls\\%ls\n", label, registration::kClientsPath);
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
            Print(L"Failed to enumerate %ls\\%ls\n", label, registration::kClientsPath);
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

Outcome ListBrowsers(std::optional<RootKey> scope) {
    if (!scope || *scope == RootKey::LocalMachine) {
        ListRoot(RootKey::LocalMachine, L"HKLM");
    }
    if (!scope || *scope == RootKey::CurrentUser) {
        ListRoot(RootKey::CurrentUser, L"HKCU");
    }
    return Outcome::Done;
}

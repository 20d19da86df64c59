// Settings: opens the client's own page in Settings > Default apps, where
// Windows 11 (with the 2023-04 update or later) offers its "Set default"
// button. Earlier builds ignore the client and open the general page.
// Windows 7 and 8 have no ms-settings: page for it; there Control Panel's
// Default Programs shows the client instead.
#include <string>

#include "commands/commands.h"
#include "output/text.h"
#include "platform/platform.h"

namespace {

bool IsUnreserved(unsigned char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
           ch == '-' || ch == '.' || ch == '_' || ch == '~';
}

// text as a URI query value: its UTF-8 bytes, each but the unreserved ones
// written %XX.
std::wstring PercentEncodeUtf8(const std::wstring& text) {
    std::string utf8;
    for (std::size_t i = 0; i < text.size();) {
        AppendUtf8(utf8, NextCodePoint(text, i));
    }
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring encoded;
    for (char signedByte : utf8) {
        const auto ch = static_cast<unsigned char>(signedByte);
        if (IsUnreserved(ch)) {
            encoded.push_back(static_cast<wchar_t>(ch));
        } else {
            encoded += {L'%', kHex[ch >> 4], kHex[ch & 0x0F]};
        }
    }
    return encoded;
}

// Settings finds a client only through its RegisteredApplications entry.
bool IsRegisteredApplication(RootKey root, const registration::ClientName& clientName) {
    registry::Key applications;
    if (registry::OpenKey(root, registration::kRegisteredApplicationsPath, registry::Access::Read,
                          applications) != registry::kSuccess) {
        return false;
    }
    // Only whether the value is there counts: a read of no bytes succeeds
    // for empty data and says kMoreData for anything longer.
    registry::ValueData data;
    const registry::Status status = registry::QueryValue(applications, clientName.c_str(), 0, data);
    return status == registry::kSuccess || status == registry::kMoreData;
}

}  // namespace

Outcome OpenDefaultAppsSettings(RootKey root, const registration::ClientName& clientName) {
    if (!IsRegisteredApplication(root, clientName)) {
        PrintNotRegistered(root, clientName.Text());
        return Outcome::Refused;
    }
    const std::wstring uri = std::wstring(L"ms-settings:defaultapps?") +
                             (root == RootKey::CurrentUser ? L"registeredAppUser="
                                                           : L"registeredAppMachine=") +
                             PercentEncodeUtf8(clientName.Text());
    if (!platform::OpenWithShell(uri)) {
        Print(L"Failed to open Settings: %ls\n", uri.c_str());
        if (platform::OpenDefaultPrograms(clientName.Text())) {
            Print(L"Opened Control Panel > Default Programs for %ls instead.\n", clientName.c_str());
            return Outcome::Done;
        }
        Print(L"%ls is registered under %ls; choose it by hand in Control Panel > Default "
              L"Programs on Windows 7 and 8, or in Settings > Apps > Default apps on later "
              L"versions.\n",
              clientName.c_str(), RootWord(root));
        return Outcome::Failed;
    }
    Print(L"Opened Settings > Default apps for %ls.\n", clientName.c_str());
    return Outcome::Done;
}

// Settings: opens the client's own page in Settings > Default apps, where
// Windows 11 (with the 2023-04 update or later) offers its "Set default"
// button. Earlier builds ignore the client and open the general page, and
// the line after says where to click there. Windows 7 and 8 have no
// ms-settings: page for it; there Control Panel's Default Programs shows the
// client instead. From Windows 10 on that call only shows a message pointing
// to Settings ("IApplicationAssociationRegistrationUI::
// LaunchAdvancedAssociationUI"), so it is made only before Windows 10.
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

// The update build revision (UBR) of this Windows, which RtlGetVersion does
// not give; 0 when it cannot be read.
std::uint32_t UpdateRevision() {
    registry::Key currentVersion;
    std::uint32_t revision = 0;
    if (registry::OpenKey(RootKey::LocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                          registry::Access::Read, currentVersion) != registry::kSuccess ||
        registry::ReadDword(currentVersion, L"UBR", revision) != registry::kSuccess) {
        return 0;
    }
    return revision;
}

// Where to click on the general Default apps page, which opens in place of
// the client's own page on earlier builds.
void PrintWhereToClick(platform::DefaultAppsPage page, const registration::ClientName& clientName) {
    if (page == platform::DefaultAppsPage::GeneralWithWebBrowser) {
        Print(L"This Windows opens the general page: under Web browser, click the browser named "
              L"there and choose %ls.\n",
              clientName.c_str());
    } else if (page == platform::DefaultAppsPage::GeneralWithAppList) {
        Print(L"This Windows opens the general page: click %ls in its list of apps.\n",
              clientName.c_str());
    }
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
    const platform::DefaultAppsPage page =
        platform::DefaultAppsPageOf(platform::QueryWindowsVersion(), UpdateRevision);
    if (!platform::OpenWithShell(uri)) {
        Print(L"Failed to open Settings: %ls\n", uri.c_str());
        if (page == platform::DefaultAppsPage::ControlPanel &&
            platform::OpenDefaultPrograms(clientName.Text())) {
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
    PrintWhereToClick(page, clientName);
    return Outcome::Done;
}

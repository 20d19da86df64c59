// Settings: opens the client's own page in Settings > Default apps, where
// Windows 11 (with the 2023-04 update or later) offers its "Set default"
// button. Earlier builds ignore the client and open the general page.
// Windows 7 and 8 have no ms-settings: page for it; there Control Panel's
// Default Programs shows the client instead.
#include <string>

#include "marovendel.h"
#include "platform/platform.h"

namespace {

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

bool IsSurrogate(std::uint32_t unit) {
    return unit >= 0xD800u && unit < 0xE000u;
}

// The code point at text[i], moving i past it. Where wchar_t is UTF-16 a
// surrogate pair is one code point; a lone surrogate, or where wchar_t is 4
// bytes a value beyond Unicode, has no UTF-8 form and becomes U+FFFD.
std::uint32_t NextCodePoint(const std::wstring& text, std::size_t& i) {
    const auto unit = static_cast<std::uint32_t>(text[i++]);
    if (sizeof(wchar_t) == 2 && unit >= 0xD800u && unit < 0xDC00u && i < text.size()) {
        const auto low = static_cast<std::uint32_t>(text[i]);
        if (low >= 0xDC00u && low < 0xE000u) {
            ++i;
            return 0x10000u + ((unit - 0xD800u) << 10) + (low - 0xDC00u);
        }
    }
    return IsSurrogate(unit) || unit > 0x10FFFFu ? kReplacementCharacter : unit;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    const auto byte = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80u) {
        byte(code);
    } else if (code < 0x800u) {
        byte(0xC0u | (code >> 6));
        byte(0x80u | (code & 0x3Fu));
    } else if (code < 0x10000u) {
        byte(0xE0u | (code >> 12));
        byte(0x80u | ((code >> 6) & 0x3Fu));
        byte(0x80u | (code & 0x3Fu));
    } else {
        byte(0xF0u | (code >> 18));
        byte(0x80u | ((code >> 12) & 0x3Fu));
        byte(0x80u | ((code >> 6) & 0x3Fu));
        byte(0x80u | (code & 0x3Fu));
    }
}

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
        PrintNotRegistered(root, clientName);
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

// The home screen: what a double-click on Marovendel.exe shows. It lists the
// browsers registered for the current user, and a number typed in the window
// offers the commands a person would otherwise type in a console: settings,
// check and delete -all. It runs only in a window Marovendel owns, where a
// person can answer; consoles and scripts get the usage instead.
#include "home_screen.h"

#include <string>
#include <vector>

#include "output/text.h"
#include "platform/platform.h"
#include "registration/clients.h"

using registration::ClientName;
using registration::RegisteredClient;

namespace {

// A client's http association is read up to this many bytes, as the
// listing reads it.
constexpr std::size_t kAssociationBytes = 512;

constexpr const wchar_t* kDragHint =
    L"To register a browser for yourself, drag its .exe or its shortcut onto Marovendel.exe.\n";

// The class the client's http association names: what Windows reports when
// the client is the default for http.
std::wstring HttpClassOf(const ClientName& name) {
    registry::Key key;
    std::wstring http;
    if (registry::OpenKey(RootKey::CurrentUser,
                          registration::UrlAssociationsPath(registration::CapabilitiesPath(name)),
                          registry::Access::Read, key) == registry::kSuccess &&
        registry::ReadString(key, L"http", registry::kAcceptAnyString, kAssociationBytes, http) ==
            registry::kSuccess) {
        return http;
    }
    return registration::ProgId(name);
}

// "  1. Foo  C:\Apps\Foo\foo.exe [default for http]"
void PrintBrowser(std::size_t number, const RegisteredClient& client,
                  const platform::CurrentDefault& http) {
    Print(L"  %u. %ls  ", static_cast<unsigned>(number), client.name.c_str());
    if (!client.program) {
        Print(L"[no program]");
    } else {
        Print(L"%ls%ls", client.program->path.c_str(),
              client.program->exists ? L"" : L" [program not found]");
    }
    const bool isDefault = http.known && EqualsIgnoringCase(http.progId, HttpClassOf(client.name));
    Print(isDefault ? L" [default for http]\n" : L"\n");
}

// The browsers, numbered from 1; false when there are none.
bool PrintBrowsers(const std::vector<RegisteredClient>& clients, bool read) {
    if (!read) {
        Print(L"The browsers registered for you could not all be read.\n");
    }
    if (clients.empty()) {
        Print(L"No browser is registered for you yet.\n");
        return false;
    }
    Print(L"Browsers registered for you:\n");
    const platform::CurrentDefault http = platform::QueryCurrentDefault(L"http");
    for (std::size_t i = 0; i < clients.size(); ++i) {
        PrintBrowser(i + 1, clients[i], http);
    }
    return true;
}

// Whether any listed browser shows [program not found]: the home screen then
// offers repair.
bool AnyProgramMissing(const std::vector<RegisteredClient>& clients) {
    for (const RegisteredClient& client : clients) {
        if (client.program && !client.program->exists) {
            return true;
        }
    }
    return false;
}

// A typed line without the blanks around it; false at the end of input.
bool ReadAnswer(std::wstring& answer) {
    if (!platform::ReadConsoleLine(answer)) {
        return false;
    }
    const std::size_t first = answer.find_first_not_of(L" \t");
    const std::size_t last = answer.find_last_not_of(L" \t");
    answer = first == std::wstring::npos ? std::wstring() : answer.substr(first, last - first + 1);
    return true;
}

// The number typed, when it is one from 1 to count; 0 otherwise.
std::size_t NumberIn(const std::wstring& answer, std::size_t count) {
    std::size_t number = 0;
    for (wchar_t ch : answer) {
        if (ch < L'0' || ch > L'9' || number > count) {
            return 0;
        }
        number = number * 10 + static_cast<std::size_t>(ch - L'0');
    }
    return number <= count ? number : 0;
}

// Asks before a removal with options, naming the file its backup goes to.
bool ConfirmRemoval(const ClientName& name, const DeleteOptions& options) {
    const std::wstring backup = RemovalBackupPath(RootKey::CurrentUser, name, options);
    Print(L"Remove %ls? Its registration is saved to %ls first, which restores it when opened. "
          L"Type y and press Enter to remove it, or press Enter to keep it.\n",
          name.c_str(), backup.c_str());
    std::wstring answer;
    return ReadAnswer(answer) && (answer == L"y" || answer == L"Y" || EqualsIgnoringCase(answer, L"yes"));
}

// The menu for one browser, until Enter alone or its removal. False at the
// end of input.
bool ManageBrowser(const RegisteredClient& client) {
    for (;;) {
        Print(L"\n%ls\n  1. Open its page in Settings > Default apps\n  2. Check it\n"
              L"  3. Remove it\nType 1, 2 or 3 and press Enter, or press Enter to go back.\n",
              client.name.c_str());
        std::wstring answer;
        if (!ReadAnswer(answer)) {
            return false;
        }
        if (answer.empty()) {
            return true;
        }
        switch (NumberIn(answer, 3)) {
        case 1:
            OpenDefaultAppsSettings(RootKey::CurrentUser, client.name);
            break;
        case 2:
            CheckBrowser(RootKey::CurrentUser, client.name);
            break;
        case 3: {
            DeleteOptions options;
            options.all = true;
            if (ConfirmRemoval(client.name, options)) {
                DeleteBrowser(RootKey::CurrentUser, client.name, options);
                return true;
            }
            Print(L"%ls was kept.\n", client.name.c_str());
            break;
        }
        default:
            Print(L"%ls is not one of 1, 2 or 3.\n", answer.c_str());
            break;
        }
    }
}

}  // namespace

Outcome ShowHomeScreen() {
    PrintBanner();
    Print(L"Marovendel makes a portable browser a choice for links and web pages in "
          L"Settings > Default apps.\n");
    for (;;) {
        bool read = true;
        const std::vector<RegisteredClient> clients =
            registration::RegisteredClients(RootKey::CurrentUser, read);
        Print(L"\n");
        const bool any = PrintBrowsers(clients, read);
        const bool offerRepair = AnyProgramMissing(clients);
        Print(L"\n%ls", kDragHint);
        if (offerRepair) {
            Print(L"Type r and press Enter to repair the browsers whose program was not found, "
                  L"where it is found on another drive.\n");
        }
        Print(any ? L"Type a number and press Enter to manage that browser, or press Enter to "
                    L"close.\n"
                  : L"Press Enter to close.\n");
        std::wstring answer;
        if (!ReadAnswer(answer) || answer.empty()) {
            return Outcome::Done;
        }
        // After a repair the list shows where each browser is now.
        if (offerRepair && (answer == L"r" || answer == L"R")) {
            RepairBrowsers(RootKey::CurrentUser, RepairOptions());
            continue;
        }
        const std::size_t number = NumberIn(answer, clients.size());
        if (number == 0) {
            Print(L"%ls is not a number from the list.\n", answer.c_str());
        } else if (!ManageBrowser(clients[number - 1])) {
            return Outcome::Done;
        }
    }
}

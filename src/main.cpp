// The command front end: finds the command on the command line, gates HKLM
// on administrator membership, runs the command and owns the exit status.
#include "marovendel.h"
#include "platform/platform.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailed = 2;

constexpr const wchar_t* kAdminRequired =
    L"Administrative privileges are required to access HKLM.\n";

bool IsWord(const wchar_t* argument, const wchar_t* word) {
    return EqualsIgnoringCase(argument, word);
}

int StatusOf(bool completed) {
    return completed ? kExitDone : kExitFailed;
}

void PrintUsage(const wchar_t* program) {
    Print(L"\nMarovendel v1.0 by the Marovendel developers\n");
    Print(L"======================================================\n\n");
    Print(L"Usage: %ls list [HKLM|HKCU] | <HKCU|HKLM> <BrowserName> <ExecutablePath> | "
          L"delete <HKCU|HKLM> <BrowserName> [-nobackup]\n",
          program);
    Print(L"       %ls settings <HKCU|HKLM> <BrowserName> | check <HKCU|HKLM> <BrowserName> | "
          L"delete <HKCU|HKLM> <BrowserName> [-nobackup] [-all]\n",
          program);
}

// Refuses a name that would not make a safe registration; true when refused.
bool RefuseClientName(const std::wstring& clientName) {
    if (const wchar_t* problem = ClientNameProblem(clientName)) {
        Print(L"%ls", problem);
        return true;
    }
    return false;
}

// The root word of the delete, settings and check forms; false, after
// saying so, when it names neither root.
bool ReadRootWord(const wchar_t* word, RootKey& root) {
    if (IsWord(word, L"HKCU")) {
        root = RootKey::CurrentUser;
    } else if (IsWord(word, L"HKLM")) {
        root = RootKey::LocalMachine;
    } else {
        Print(L"Invalid root key. Use HKCU or HKLM.\n");
        return false;
    }
    return true;
}

// The delete form, once at least two arguments follow it.
int RunDelete(bool isAdmin, wchar_t** words, int available) {
    RootKey root;
    if (!ReadRootWord(words[0], root)) {
        return kExitUsage;
    }
    if (root == RootKey::LocalMachine && !isAdmin) {
        Print(L"%ls", kAdminRequired);
        return kExitUsage;
    }
    const std::wstring clientName = words[1];
    if (RefuseClientName(clientName)) {
        return kExitUsage;
    }
    DeleteOptions options;
    // The words after the name may be -nobackup and -all, in either order.
    for (int extra = 2; extra < available && extra < 4; ++extra) {
        const std::wstring word = words[extra];
        options.noBackup = options.noBackup || word == L"-nobackup";
        options.removeClass = options.removeClass || word == L"-all";
    }
    return StatusOf(DeleteBrowser(root, clientName, options));
}

int StatusOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Done:
        return kExitDone;
    case Outcome::Refused:
        return kExitUsage;
    case Outcome::Failed:
        break;
    }
    return kExitFailed;
}

// The settings and check forms, once at least two arguments follow them.
// They only read, so HKLM needs no administrator.
int RunReadingCommand(Outcome (*command)(RootKey, const std::wstring&), wchar_t** words) {
    RootKey root;
    if (!ReadRootWord(words[0], root)) {
        return kExitUsage;
    }
    const std::wstring clientName = words[1];
    if (RefuseClientName(clientName)) {
        return kExitUsage;
    }
    return StatusOf(command(root, clientName));
}

}  // namespace

bool IsRunningAsAdmin() {
    return platform::IsMemberOfAdministrators();
}

void PrintCapabilities(RootKey root, const std::wstring& clientName) {
    std::wstring path;
    registry::Key key;
    if (!FormatBounded(path, kKeyPathCapacity, L"%ls\\%ls\\Capabilities\\URLAssociations",
                       kStartMenuInternetPath, clientName.c_str()) ||
        registry::OpenKey(root, path, registry::Access::Read, key) != registry::kSuccess) {
        Print(L"Capabilities: [Not found]\n");
        return;
    }
    registry::ValueData http;
    if (registry::QueryValue(key, L"http", 512, http) == registry::kSuccess &&
        (http.type == registry::kRegSz || http.type == registry::kRegExpandSz)) {
        Print(L"http/https: %ls\n", registry::StringFromBytes(http.bytes).c_str());
    } else {
        Print(L"http/https: [Not found]\n");
    }
}

extern "C" int wmain(int argc, wchar_t** argv) {
    const platform::FlushOutputOnExit flushOutput;
    const bool isAdmin = IsRunningAsAdmin();
    const wchar_t* program = argc > 0 ? argv[0] : L"Marovendel.exe";
    bool haveRegistration = false;
    RootKey root = RootKey::CurrentUser;
    const wchar_t* clientName = nullptr;
    const wchar_t* executablePath = nullptr;

    int index = 1;
    while (index < argc) {
        const wchar_t* word = argv[index];
        if (IsWord(word, L"list")) {
            const wchar_t* scope = nullptr;
            if (index + 1 < argc &&
                (IsWord(argv[index + 1], L"HKLM") || IsWord(argv[index + 1], L"HKCU"))) {
                scope = argv[index + 1];
            }
            ListBrowsers(scope);
            return kExitDone;
        }
        const bool currentUser = IsWord(word, L"HKCU");
        if (currentUser || IsWord(word, L"HKLM")) {
            if (!currentUser && !isAdmin) {
                Print(L"%ls", kAdminRequired);
                return kExitUsage;
            }
            if (index + 2 >= argc) {
                Print(L"Usage: %ls %ls <BrowserName> <ExecutablePath>\n", program,
                      currentUser ? L"HKCU" : L"HKLM");
                return kExitUsage;
            }
            haveRegistration = true;
            root = currentUser ? RootKey::CurrentUser : RootKey::LocalMachine;
            clientName = argv[index + 1];
            executablePath = argv[index + 2];
            index += 3;
            continue;
        }
        if (IsWord(word, L"delete") && index + 2 < argc) {
            return RunDelete(isAdmin, argv + index + 1, argc - index - 1);
        }
        if (IsWord(word, L"settings") && index + 2 < argc) {
            return RunReadingCommand(OpenDefaultAppsSettings, argv + index + 1);
        }
        if (IsWord(word, L"check") && index + 2 < argc) {
            return RunReadingCommand(CheckBrowser, argv + index + 1);
        }
        ++index;
    }

    if (!haveRegistration) {
        PrintUsage(program);
        return kExitUsage;
    }
    if (RefuseClientName(clientName)) {
        return kExitUsage;
    }
    const bool registered = RegisterBrowser(root, clientName, executablePath);
    PrintCapabilities(root, clientName);
    return StatusOf(registered);
}

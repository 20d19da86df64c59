// The command front end's parser: every command form, its options and its
// refusals, and the usage that lists them.
#include "command_line.h"

#include <vector>

#include "output/text.h"
#include "platform/platform.h"

using registration::ClientName;

namespace {

constexpr const wchar_t* kAdminRequired =
    L"Administrative privileges are required to access HKLM.\n";

// The lines of the general usage, each with the program's name. The first
// is the one every earlier version printed; the README's Commands block
// shows the same lines.
constexpr const wchar_t* kUsageLines[] = {
    L"Usage: %ls list [HKLM|HKCU] | <HKCU|HKLM> <BrowserName> <ExecutablePath> | "
    L"delete <HKCU|HKLM> <BrowserName> [-nobackup]\n",
    L"       %ls <program or shortcut> | settings <HKCU|HKLM> <BrowserName> | "
    L"check <HKCU|HKLM> <BrowserName>\n",
    L"       %ls defaults HKLM <BrowserName> [file] [-once]\n",
    L"       %ls repair [HKCU|HKLM] [-nobackup]\n",
    L"       -all after <ExecutablePath> also registers every type a browser opens; "
    L"after delete's <BrowserName> it also removes the class and its Open with entries\n",
};

// The options a command takes, matched with their case, and how its refusal
// of any other word that looks like one names them.
struct CommandOptions {
    std::vector<const wchar_t*> options;
    const wchar_t* named;
};

const CommandOptions kDeleteOptions = {{L"-nobackup", L"-all"},
                                       L"its options are -nobackup and -all, in lower case"};
const CommandOptions kRegisterOptions = {{L"-all"}, L"its option is -all, in lower case"};
const CommandOptions kDefaultsOptions = {{L"-once"}, L"its option is -once, in lower case"};
const CommandOptions kNoOptions = {{}, L"it takes none"};  // check, settings
const CommandOptions kRepairOptions = {{L"-nobackup"}, L"its option is -nobackup, in lower case"};

bool IsWord(const wchar_t* argument, const wchar_t* word) {
    return EqualsIgnoringCase(argument, word);
}

bool IsCommandWord(const wchar_t* word) {
    for (const wchar_t* command :
         {L"list", L"HKCU", L"HKLM", L"delete", L"settings", L"check", L"defaults", L"repair"}) {
        if (IsWord(word, command)) {
            return true;
        }
    }
    return false;
}

Command Refusal(std::wstring line) {
    Command command;
    command.form = Form::Refusal;
    command.refusal = std::move(line);
    return command;
}

bool LooksLikeAnOption(const wchar_t* word) {
    return word[0] == L'-' || word[0] == L'/';
}

bool IsOptionOf(const CommandOptions& command, const wchar_t* word) {
    for (const wchar_t* option : command.options) {
        if (std::wstring(word) == option) {
            return true;
        }
    }
    return false;
}

// The refusal of a word that looks like an option of commandWord but is not
// one, or nothing when every word is an option or no option at all.
std::optional<Command> RefuseUnknownOption(const CommandOptions& options,
                                           const wchar_t* commandWord, wchar_t** words,
                                           int count) {
    for (int i = 0; i < count; ++i) {
        if (LooksLikeAnOption(words[i]) && !IsOptionOf(options, words[i])) {
            return Refusal(std::wstring(words[i]) + L" is not an option of " + commandWord + L"; " +
                           options.named + L".\n");
        }
    }
    return std::nullopt;
}
std::optional<RootKey> RootOfWord(const wchar_t* word) {
    if (IsWord(word, L"HKCU")) {
        return RootKey::CurrentUser;
    }
    if (IsWord(word, L"HKLM")) {
        return RootKey::LocalMachine;
    }
    return std::nullopt;
}

// command with name made from text, or the refusal that says why it cannot be.
Command Named(Command command, const wchar_t* text) {
    const wchar_t* problem = nullptr;
    command.name = ClientName::From(text, &problem);
    return command.name ? command : Refusal(problem);
}

// delete, settings, check or defaults with at least two words after it: a
// root word and a name. Only delete writes to the registry, so only delete
// needs an administrator for HKLM.
Command ParseNamedForm(Form form, bool isAdmin, wchar_t** words, int available) {
    Command command;
    command.form = form;
    command.root = RootOfWord(words[0]);
    if (!command.root) {
        return Refusal(L"Invalid root key. Use HKCU or HKLM.\n");
    }
    if (form == Form::Delete && *command.root == RootKey::LocalMachine && !isAdmin) {
        return Refusal(kAdminRequired);
    }
    const CommandOptions& options = form == Form::Delete     ? kDeleteOptions
                                    : form == Form::Defaults ? kDefaultsOptions
                                                             : kNoOptions;
    const wchar_t* commandWord = form == Form::Delete     ? L"delete"
                                 : form == Form::Check    ? L"check"
                                 : form == Form::Defaults ? L"defaults"
                                                          : L"settings";
    if (std::optional<Command> refusal =
            RefuseUnknownOption(options, commandWord, words + 2, available - 2)) {
        return *refusal;
    }
    // The words after the name may be -nobackup and -all, in either order.
    for (int extra = 2; form == Form::Delete && extra < available; ++extra) {
        const std::wstring word = words[extra];
        command.options.noBackup = command.options.noBackup || word == L"-nobackup";
        command.options.all = command.options.all || word == L"-all";
    }
    // The words after the name may be a file and -once, in either order.
    for (int extra = 2; form == Form::Defaults && extra < available && extra < 4; ++extra) {
        const std::wstring word = words[extra];
        if (word == L"-once") {
            command.defaults.once = true;
        } else if (command.defaults.file.empty()) {
            command.defaults.file = word;
        }
    }
    return Named(std::move(command), words[1]);
}

// repair and the words after it: a root word, HKCU when there is none, then
// -nobackup. It writes, so HKLM needs an administrator.
Command ParseRepair(bool isAdmin, wchar_t** words, int count) {
    Command command;
    command.form = Form::Repair;
    command.root = RootKey::CurrentUser;
    int next = 0;
    if (count > 0 && !LooksLikeAnOption(words[0])) {
        command.root = RootOfWord(words[0]);
        if (!command.root) {
            return Refusal(L"Invalid root key. Use HKCU or HKLM.\n");
        }
        next = 1;
    }
    if (*command.root == RootKey::LocalMachine && !isAdmin) {
        return Refusal(kAdminRequired);
    }
    if (std::optional<Command> refusal =
            RefuseUnknownOption(kRepairOptions, L"repair", words + next, count - next)) {
        return *refusal;
    }
    for (int extra = next; extra < count; ++extra) {
        if (!LooksLikeAnOption(words[extra])) {
            return Refusal(std::wstring(words[extra]) +
                           L" is not a word of repair; it takes HKCU or HKLM, then -nobackup.\n");
        }
        command.repair.noBackup = true;
    }
    return command;
}

}  // namespace

Command ParseCommandLine(int argc, wchar_t** argv, bool isAdmin) {
    Command registration;  // the last complete registration form, if any
    const wchar_t* name = nullptr;

    int index = 1;
    while (index < argc) {
        const wchar_t* word = argv[index];
        const int following = argc - index - 1;
        if (IsWord(word, L"list")) {
            Command list;
            list.form = Form::List;
            if (following >= 1) {
                list.root = RootOfWord(argv[index + 1]);
            }
            return list;
        }
        const std::optional<RootKey> root = RootOfWord(word);
        if (root) {
            if (*root == RootKey::LocalMachine && !isAdmin) {
                return Refusal(kAdminRequired);
            }
            if (following < 2) {
                Command usage;
                usage.form = Form::RootUsage;
                usage.root = root;
                return usage;
            }
            registration.form = Form::Register;
            registration.root = root;
            name = argv[index + 1];
            registration.executablePath = argv[index + 2];
            index += 3;
            // -all, matched with its case, may follow the path.
            registration.registrationOptions.all =
                index < argc && std::wstring(argv[index]) == L"-all";
            if (registration.registrationOptions.all) {
                ++index;
            }
            if (index < argc && LooksLikeAnOption(argv[index])) {
                return *RefuseUnknownOption(kRegisterOptions, RootWord(*root), argv + index, 1);
            }
            continue;
        }
        // check or settings with a root word and nothing after it.
        if (following == 1 && RootOfWord(argv[index + 1]) &&
            (IsWord(word, L"check") || IsWord(word, L"settings"))) {
            Command usage;
            usage.form = Form::CommandUsage;
            usage.commandWord = IsWord(word, L"check") ? L"check" : L"settings";
            return usage;
        }
        if (IsWord(word, L"repair")) {
            return ParseRepair(isAdmin, argv + index + 1, following);
        }
        if (following >= 2) {
            if (IsWord(word, L"delete")) {
                return ParseNamedForm(Form::Delete, isAdmin, argv + index + 1, following);
            }
            if (IsWord(word, L"settings")) {
                return ParseNamedForm(Form::Settings, isAdmin, argv + index + 1, following);
            }
            if (IsWord(word, L"check")) {
                return ParseNamedForm(Form::Check, isAdmin, argv + index + 1, following);
            }
            if (IsWord(word, L"defaults")) {
                return ParseNamedForm(Form::Defaults, isAdmin, argv + index + 1, following);
            }
        }
        ++index;
    }
    if (registration.form != Form::Usage) {
        return Named(std::move(registration), name);
    }
    // Explorer passes a file dropped onto the exe as its only argument.
    if (argc == 2 && !IsCommandWord(argv[1]) && platform::IsExistingFile(argv[1])) {
        Command drop;
        drop.form = Form::Drop;
        drop.executablePath = argv[1];
        return drop;
    }
    return registration;
}

void PrintUsage(const wchar_t* program) {
    PrintBanner();
    for (const wchar_t* line : kUsageLines) {
        Print(line, program);
    }
}

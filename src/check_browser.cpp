// Check: reads a registration the way Windows uses it, whoever wrote it, and
// prints one line per part that would keep the browser out of Default apps or
// keep a link from opening, then what Windows opens web links and pages with
// now. Each line names the key, and the value in
// parentheses ("(default)" for the unnamed one). Every key is opened for
// reading only.
#include <vector>

#include "marovendel.h"
#include "platform/platform.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registry::Status;
using registration::ClientName;
using registration::kRegisteredApplicationsPath;

namespace {

// Commands, descriptions and paths are read up to this many bytes.
constexpr std::size_t kValueBytes = 8192;
// The registry's own limit for value names.
constexpr std::size_t kMaxValueNameChars = 16383;

struct Report {
    RootKey root;
    RegistrationFindings findings = {};
};

// "HKCU\path", the way every line names a key.
std::wstring KeyName(RootKey root, const std::wstring& path) {
    return std::wstring(RootWord(root)) + L"\\" + path;
}

// "HKCU\path (name)", the way every line names a value.
std::wstring ValueName(RootKey root, const std::wstring& path, const wchar_t* name) {
    return KeyName(root, path) + L" (" + (name == nullptr ? L"default" : name) + L")";
}

void AddProblem(Report& report, const std::wstring& where, const std::wstring& what) {
    report.findings.problems.push_back(L"  " + where + L": " + what + L"\n");
}

void ReportUnopenedKey(Report& report, RootKey root, const std::wstring& path, Status status) {
    AddProblem(report, KeyName(root, path),
               status == registry::kFileNotFound ? L"the key is missing"
                                                 : L"the key could not be opened");
}

// Opens root\path for reading; on failure reports the key and returns false.
bool OpenRequiredKey(Report& report, RootKey root, const std::wstring& path, Key& key) {
    const Status status = registry::OpenKey(root, path, Access::Read, key);
    if (status != kSuccess) {
        ReportUnopenedKey(report, root, path, status);
    }
    return status == kSuccess;
}

// Opens root\path for reading when it exists; reports only a key that exists
// but cannot be opened.
bool OpenOptionalKey(Report& report, RootKey root, const std::wstring& path, Key& key) {
    const Status status = registry::OpenKey(root, path, Access::Read, key);
    if (status != kSuccess && status != registry::kFileNotFound) {
        ReportUnopenedKey(report, root, path, status);
    }
    return status == kSuccess;
}

bool IsString(const registry::ValueData& data) {
    return data.type == registry::kRegSz || data.type == registry::kRegExpandSz;
}

// One string value as read, up to kValueBytes.
struct StringRead {
    Status status = registry::kFileNotFound;
    bool isString = false;
    std::wstring text;
};

StringRead ReadString(const Key& key, const wchar_t* name) {
    registry::ValueData data;
    StringRead read;
    read.status = registry::QueryValue(key, name, kValueBytes, data);
    read.isString = IsString(data);
    if (read.status == kSuccess && read.isString) {
        read.text = registry::StringFromBytes(data.bytes);
    }
    return read;
}

// Whether read holds a non-empty string; otherwise reports why not against
// where.
bool RequireString(Report& report, const StringRead& read, const std::wstring& where) {
    if (read.status == registry::kFileNotFound) {
        AddProblem(report, where, L"the value is missing");
    } else if (read.status == registry::kMoreData) {
        AddProblem(report, where, L"the value is too long to check");
    } else if (read.status != kSuccess) {
        AddProblem(report, where, L"the value could not be read");
    } else if (!read.isString) {
        AddProblem(report, where, L"the value is not a string");
    } else if (read.text.empty()) {
        AddProblem(report, where, L"the value is empty");
    } else {
        return true;
    }
    return false;
}

// Why a command's program cannot be started, or empty when it can.
std::wstring ProgramProblem(const CommandProgram& program) {
    switch (program.shape) {
    case CommandProgram::Shape::Blank:
        return L"the command is blank";
    case CommandProgram::Shape::Words:
        if (!program.exists) {
            return L"the command names no existing program file";
        }
        break;
    case CommandProgram::Shape::Quoted:
    case CommandProgram::Shape::OneWord:
        if (!program.exists) {
            return L"the program " + program.path + L" does not exist";
        }
        break;
    }
    return std::wstring();
}

bool PassesTheLink(const std::wstring& command) {
    return command.find(L"%1") != std::wstring::npos || command.find(L"%L") != std::wstring::npos ||
           command.find(L"%l") != std::wstring::npos;
}

// Checks the default value of the open command key at root\path.
void CheckOpenCommand(Report& report, RootKey root, const std::wstring& path, const Key& key,
                      bool needsLink) {
    const std::wstring where = ValueName(root, path, nullptr);
    const StringRead read = ReadString(key, nullptr);
    if (!RequireString(report, read, where)) {
        return;
    }
    const std::wstring& command = read.text;
    const CommandProgram program = FindCommandProgram(platform::ExpandEnvironment(command));
    const std::wstring problem = ProgramProblem(program);
    if (!problem.empty()) {
        AddProblem(report, where, problem);
        report.findings.programMissing =
            report.findings.programMissing || program.shape != CommandProgram::Shape::Blank;
    }
    if (needsLink && !PassesTheLink(command)) {
        AddProblem(report, where, L"the command does not pass the link (%1 or %L)");
    }
}

// The RegisteredApplications entry, read once: it decides whether the name
// is registered at all, and then where the capabilities are.
struct RegisteredEntry {
    Status keyStatus = registry::kFileNotFound;
    StringRead value;

    bool IsAbsent() const { return value.status == registry::kFileNotFound; }
};

RegisteredEntry ReadRegisteredEntry(RootKey root, const ClientName& clientName) {
    RegisteredEntry entry;
    Key applications;
    entry.keyStatus =
        registry::OpenKey(root, kRegisteredApplicationsPath, Access::Read, applications);
    entry.value.status = entry.keyStatus;
    if (entry.keyStatus == kSuccess) {
        entry.value = ReadString(applications, clientName.c_str());
    }
    return entry;
}

// Where the entry says the capabilities are. When it is unusable the rest is
// checked where Marovendel puts them.
std::wstring CheckRegisteredEntry(Report& report, const RegisteredEntry& entry,
                                  const ClientName& clientName) {
    if (entry.keyStatus != kSuccess) {
        ReportUnopenedKey(report, report.root, kRegisteredApplicationsPath, entry.keyStatus);
    } else if (RequireString(report, entry.value,
                             ValueName(report.root, kRegisteredApplicationsPath,
                                       clientName.c_str()))) {
        return entry.value.text;
    }
    return registration::CapabilitiesPath(clientName);
}

// The keys on the way from a client or class key to its open command.
std::vector<std::wstring> CommandKeyPaths(const std::wstring& base) {
    return {base + L"\\shell", base + L"\\shell\\open", registration::OpenCommandPath(base)};
}

// Opens each key on the way from base to its open command with open, and
// reports every one that is missing, named under the root where base is.
// True, with command open, when all of them are there.
template <typename OpenFunction>
bool OpenCommandKey(Report& report, RootKey baseRoot, const std::wstring& base, OpenFunction open,
                    Key& command, RootKey& commandRoot) {
    bool missing = false;
    for (const std::wstring& path : CommandKeyPaths(base)) {
        const Status status = missing ? registry::kFileNotFound : open(path, command, commandRoot);
        if (status == registry::kFileNotFound) {
            AddProblem(report, KeyName(baseRoot, path), L"the key is missing");
            missing = true;
        } else if (status != kSuccess) {
            ReportUnopenedKey(report, baseRoot, path, status);
            return false;
        }
    }
    return !missing;
}

// The client's own open command: Windows starts it from the Start menu's
// browser entry. It takes no link.
void CheckClientCommand(Report& report, const std::wstring& clientPath) {
    const RootKey root = report.root;
    const auto open = [root](const std::wstring& path, Key& key, RootKey& found) {
        found = root;
        return registry::OpenKey(root, path, Access::Read, key);
    };
    Key command;
    RootKey commandRoot;
    if (OpenCommandKey(report, root, clientPath, open, command, commandRoot)) {
        CheckOpenCommand(report, root, registration::OpenCommandPath(clientPath), command, false);
    }
}

// Windows leaves an application without a description out of Default apps.
void CheckDescription(Report& report, const Key& capabilities, const std::wstring& path) {
    RequireString(report, ReadString(capabilities, L"ApplicationDescription"),
                  ValueName(report.root, path, L"ApplicationDescription"));
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
    for (const std::wstring& known : names) {
        if (EqualsIgnoringCase(known, name)) {
            return true;
        }
    }
    return false;
}

// Adds each value of an associations key that names a class to found, and
// the class to classes (once each), reporting values that cannot name one.
// Returns the value names.
std::vector<std::wstring> CollectClasses(Report& report, const Key& associations,
                                         const std::wstring& path,
                                         std::vector<Association>& found,
                                         std::vector<std::wstring>& classes) {
    std::vector<std::wstring> names;
    for (std::uint32_t index = 0;; ++index) {
        std::wstring name;
        registry::ValueData data;
        const Status status =
            registry::EnumValue(associations, index, kMaxValueNameChars, kValueBytes, name, data);
        if (status == registry::kNoMoreItems) {
            break;
        }
        if (status != kSuccess) {
            // Retrying the same index could fail forever.
            AddProblem(report, KeyName(report.root, path),
                       status == registry::kMoreData ? L"a value is too long to check"
                                                     : L"the values could not be read");
            break;
        }
        names.push_back(name);
        const std::wstring where = ValueName(report.root, path, name.c_str());
        const std::wstring progId = registry::StringFromBytes(data.bytes);
        if (!IsString(data)) {
            AddProblem(report, where, L"the value is not a string");
        } else if (progId.empty()) {
            AddProblem(report, where, L"the value is empty");
        } else if (registry::Utf16Length(progId) > registry::kMaxKeyNameChars) {
            AddProblem(report, where, L"the value is too long to name a class");
        } else {
            found.push_back(Association{name, progId});
            if (!Contains(classes, progId)) {
                classes.push_back(progId);
            }
        }
    }
    return names;
}

// The web associations, which must cover http and https.
void CollectUrlClasses(Report& report, const std::wstring& capabilitiesPath,
                       std::vector<std::wstring>& classes) {
    const std::wstring path = registration::UrlAssociationsPath(capabilitiesPath);
    Key associations;
    if (!OpenRequiredKey(report, report.root, path, associations)) {
        return;
    }
    const std::vector<std::wstring> names =
        CollectClasses(report, associations, path, report.findings.urlAssociations, classes);
    for (const wchar_t* scheme : {L"http", L"https"}) {
        if (!Contains(names, scheme)) {
            AddProblem(report, ValueName(report.root, path, scheme), L"the value is missing");
        }
    }
}

void CollectFileClasses(Report& report, const std::wstring& capabilitiesPath,
                        std::vector<std::wstring>& classes) {
    const std::wstring path = registration::FileAssociationsPath(capabilitiesPath);
    Key associations;
    if (OpenOptionalKey(report, report.root, path, associations)) {
        CollectClasses(report, associations, path, report.findings.fileAssociations, classes);
    }
}

// Opens path as the merged classes view finds it: under the root, and for an
// HKCU client under HKLM after it. False when neither has it.
bool OpenClassKey(RootKey root, const std::wstring& path, Key& key, RootKey& found) {
    found = root;
    if (registry::OpenKey(root, path, Access::Read, key) == kSuccess) {
        return true;
    }
    found = RootKey::LocalMachine;
    return root == RootKey::CurrentUser &&
           registry::OpenKey(found, path, Access::Read, key) == kSuccess;
}

void CheckClass(Report& report, const std::wstring& progId) {
    const std::wstring classPath = registration::ClassKeyPath(progId);
    Key classKey;
    RootKey classRoot;
    if (!OpenClassKey(report.root, classPath, classKey, classRoot)) {
        AddProblem(report, KeyName(report.root, classPath),
                   report.root == RootKey::CurrentUser ? L"the key is missing here and under HKLM"
                                                       : L"the key is missing");
        return;
    }
    const RootKey root = report.root;
    const auto open = [root](const std::wstring& path, Key& key, RootKey& found) {
        return OpenClassKey(root, path, key, found) ? kSuccess : registry::kFileNotFound;
    };
    Key command;
    RootKey commandRoot;
    if (OpenCommandKey(report, classRoot, classPath, open, command, commandRoot)) {
        CheckOpenCommand(report, commandRoot, registration::OpenCommandPath(classPath), command,
                         true);
    }
}

void CheckCapabilities(Report& report, const std::wstring& capabilitiesPath) {
    Key capabilities;
    if (!OpenRequiredKey(report, report.root, capabilitiesPath, capabilities)) {
        return;
    }
    CheckDescription(report, capabilities, capabilitiesPath);
    std::vector<std::wstring> classes;
    CollectUrlClasses(report, capabilitiesPath, classes);
    CollectFileClasses(report, capabilitiesPath, classes);
    for (const std::wstring& progId : classes) {
        CheckClass(report, progId);
    }
}

// The class the browser's capabilities name for association; its own
// <Name>URL when they name none.
std::wstring ClaimedClass(const Report& report, const ClientName& clientName,
                          const std::wstring& association) {
    for (const auto* found : {&report.findings.urlAssociations, &report.findings.fileAssociations}) {
        for (const Association& claimed : *found) {
            if (EqualsIgnoringCase(claimed.name, association)) {
                return claimed.progId;
            }
        }
    }
    return registration::ProgId(clientName);
}

// What Windows opens each association with now, asked once each.
class CurrentDefaults {
public:
    const platform::CurrentDefault& Of(const std::wstring& association) {
        for (const auto& known : answers_) {
            if (EqualsIgnoringCase(known.first, association)) {
                return known.second;
            }
        }
        answers_.emplace_back(association, platform::QueryCurrentDefault(association));
        return answers_.back().second;
    }

private:
    std::vector<std::pair<std::wstring, platform::CurrentDefault>> answers_;
};

// "a", "a and b", "a, b and c".
std::wstring ListOf(const std::vector<std::wstring>& items) {
    std::wstring list;
    for (std::size_t i = 0; i < items.size(); ++i) {
        list += (i == 0 ? L"" : i + 1 == items.size() ? L" and " : L", ") + items[i];
    }
    return list;
}

// How many of the types the capabilities name Windows opens with this
// browser, naming the others. Nothing when Windows could tell none of them.
void PrintTypeCount(const Report& report, const ClientName& clientName,
                    CurrentDefaults& defaults) {
    std::vector<std::wstring> elsewhere;
    std::vector<std::wstring> unknown;
    std::size_t total = 0;
    for (const auto* found : {&report.findings.urlAssociations, &report.findings.fileAssociations}) {
        for (const Association& claimed : *found) {
            const platform::CurrentDefault& current = defaults.Of(claimed.name);
            if (!current.known) {
                unknown.push_back(claimed.name);
            } else if (!EqualsIgnoringCase(current.progId, claimed.progId)) {
                elsewhere.push_back(claimed.name);
            }
            ++total;
        }
    }
    if (unknown.size() == total) {
        return;
    }
    Print(L"Windows opens %u of %u types with %ls",
          static_cast<unsigned>(total - elsewhere.size() - unknown.size()),
          static_cast<unsigned>(total), clientName.c_str());
    if (!elsewhere.empty()) {
        Print(L"; %ls %ls with something else", ListOf(elsewhere).c_str(),
              elsewhere.size() == 1 ? L"opens" : L"open");
    }
    if (!unknown.empty()) {
        Print(L"; what opens %ls is unknown", ListOf(unknown).c_str());
    }
    Print(L".\n");
}

// What Windows opens the web with now, as it decides it: information, not
// problems. When the browser checked out sound but does not open http, the
// last line names the command that opens its Default apps page.
void PrintCurrentDefaults(const Report& report, const ClientName& clientName) {
    CurrentDefaults defaults;
    bool othersOpenHttp = false;
    for (const wchar_t* association : {L"http", L"https", L".html"}) {
        const platform::CurrentDefault& current = defaults.Of(association);
        const std::wstring claimed = ClaimedClass(report, clientName, association);
        if (!current.known) {
            std::wstring reason = current.reason;
            if (!reason.empty() && reason.back() == L'.') {
                reason.pop_back();
            }
            Print(L"What Windows opens %ls with is unknown: %ls.\n", association, reason.c_str());
        } else if (EqualsIgnoringCase(current.progId, claimed)) {
            Print(L"Windows opens %ls with %ls (%ls).\n", association, clientName.c_str(),
                  current.progId.c_str());
        } else {
            Print(L"Windows opens %ls with %ls, not with %ls.\n", association,
                  current.progId.c_str(), clientName.c_str());
            othersOpenHttp = othersOpenHttp || std::wstring(association) == L"http";
        }
    }
    PrintTypeCount(report, clientName, defaults);
    if (report.findings.problems.empty() && othersOpenHttp) {
        Print(L"%ls is not the default for http; Marovendel.exe settings %ls %ls opens its "
              L"Default apps page.\n",
              clientName.c_str(), RootWord(report.root), CommandLineWord(clientName.Text()).c_str());
    }
}

}  // namespace

RegistrationFindings InspectRegistration(RootKey root, const ClientName& clientName) {
    const std::wstring clientPath = registration::ClientKeyPath(clientName);
    Key client;
    const Status clientStatus = registry::OpenKey(root, clientPath, Access::Read, client);
    const RegisteredEntry entry = ReadRegisteredEntry(root, clientName);
    Report report{root};
    report.findings.registered = clientStatus != registry::kFileNotFound || !entry.IsAbsent();
    if (!report.findings.registered) {
        return report.findings;
    }
    const std::wstring capabilitiesPath = CheckRegisteredEntry(report, entry, clientName);
    const std::size_t before = report.findings.problems.size();
    if (clientStatus == kSuccess) {
        CheckClientCommand(report, clientPath);
    } else if (clientStatus != registry::kFileNotFound) {
        ReportUnopenedKey(report, root, clientPath, clientStatus);
    }
    report.findings.clientCommandProblems = report.findings.problems.size() - before;
    report.findings.capabilitiesPath = capabilitiesPath;
    CheckCapabilities(report, capabilitiesPath);
    return report.findings;
}

Outcome CheckBrowser(RootKey root, const ClientName& clientName) {
    Report report{root, InspectRegistration(root, clientName)};
    if (!report.findings.registered) {
        PrintNotRegistered(root, clientName);
        return Outcome::Refused;
    }
    for (const std::wstring& line : report.findings.problems) {
        Print(L"%ls", line.c_str());
    }
    const std::size_t problems = report.findings.problems.size();
    if (problems == 0) {
        Print(L"%ls is registered correctly under %ls.\n", clientName.c_str(), RootWord(root));
    } else if (!report.findings.programMissing) {
        Print(L"%ls has %d problem(s) under %ls; register it again to repair.\n",
              clientName.c_str(), static_cast<int>(problems), RootWord(root));
    } else if (root == RootKey::CurrentUser) {
        // A portable browser that moved, as on a USB stick under another
        // drive letter: its new place is what repairs it.
        Print(L"%ls has %d problem(s) under %ls; if the browser has moved, drop it onto "
              L"Marovendel.exe from its new place, or register it again with its new path.\n",
              clientName.c_str(), static_cast<int>(problems), RootWord(root));
    } else {
        // A drop registers for the current user only.
        Print(L"%ls has %d problem(s) under %ls; if the browser has moved, register it again "
              L"with its new path.\n",
              clientName.c_str(), static_cast<int>(problems), RootWord(root));
    }
    PrintCurrentDefaults(report, clientName);
    return problems == 0 ? Outcome::Done : Outcome::Failed;
}

CommandProgram FindCommandProgram(const std::wstring& command) {
    CommandProgram program;
    const std::size_t start = command.find_first_not_of(L" \t");
    if (start == std::wstring::npos) {
        return program;
    }
    if (command[start] == L'"') {
        const std::size_t close = command.find(L'"', start + 1);
        program.shape = CommandProgram::Shape::Quoted;
        program.path = command.substr(
            start + 1, close == std::wstring::npos ? std::wstring::npos : close - start - 1);
        program.exists = platform::IsExistingFile(program.path);
        return program;
    }
    const std::wstring unquoted = command.substr(start);
    program.shape = unquoted.find(L' ') == std::wstring::npos ? CommandProgram::Shape::OneWord
                                                               : CommandProgram::Shape::Words;
    for (std::size_t space = unquoted.find(L' '); space != std::wstring::npos;
         space = unquoted.find(L' ', space + 1)) {
        if (platform::IsExistingFile(unquoted.substr(0, space))) {
            program.path = unquoted.substr(0, space);
            program.exists = true;
            return program;
        }
    }
    program.path = unquoted;
    program.exists = platform::IsExistingFile(unquoted);
    return program;
}

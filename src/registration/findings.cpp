// Reading a registration the way Windows uses it. Each problem names the
// key, and the value in parentheses ("(default)" for the unnamed one). Every
// key is opened for reading only.
#include "registration/findings.h"

#include "output/text.h"
#include "platform/platform.h"
#include "programs/command_program.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registry::RootKey;
using registry::Status;

namespace registration {

namespace {

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

// One string value as read, up to kValueBytes.
struct StringRead {
    Status status = registry::kFileNotFound;
    std::wstring text;
};

StringRead ReadString(const Key& key, const wchar_t* name) {
    StringRead read;
    read.status = registry::ReadString(key, name, registry::kAcceptAnyString, kValueBytes, read.text);
    return read;
}

// Whether read holds a non-empty string; otherwise reports why not against
// where.
bool RequireString(Report& report, const StringRead& read, const std::wstring& where) {
    if (read.status == registry::kFileNotFound) {
        AddProblem(report, where, L"the value is missing");
    } else if (read.status == registry::kMoreData) {
        AddProblem(report, where, L"the value is too long to check");
    } else if (read.status == registry::kUnsupportedType) {
        AddProblem(report, where, L"the value is not a string");
    } else if (read.status != kSuccess) {
        AddProblem(report, where, L"the value could not be read");
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
    const std::wstring expanded = platform::ExpandEnvironment(command);
    const CommandProgram program = FindCommandProgram(expanded);
    const std::wstring problem = ProgramProblem(program);
    if (!problem.empty()) {
        AddProblem(report, where, problem);
        report.findings.programMissing =
            report.findings.programMissing || program.shape != CommandProgram::Shape::Blank;
    }
    if (!problem.empty() && program.shape != CommandProgram::Shape::Blank) {
        report.findings.missingPrograms.push_back(
            MissingProgram{root, path, expanded, program.path});
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
    return CapabilitiesPath(clientName);
}

// The keys on the way from a client or class key to its open command.
std::vector<std::wstring> CommandKeyPaths(const std::wstring& base) {
    return {base + L"\\shell", base + L"\\shell\\open", OpenCommandPath(base)};
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
        CheckOpenCommand(report, root, OpenCommandPath(clientPath), command, false);
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
        if (data.type != registry::kRegSz && data.type != registry::kRegExpandSz) {
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

// The two kinds of associations a browser's capabilities list, in the order
// they are read: the web ones must be there and cover http and https.
struct AssociationKind {
    std::wstring (*path)(const std::wstring& capabilitiesPath);
    std::vector<Association> RegistrationFindings::*found;
    bool keyRequired;
    const wchar_t* requiredValues[2];  // null: none
};

const AssociationKind kAssociationKinds[] = {
    {UrlAssociationsPath, &RegistrationFindings::urlAssociations, true, {L"http", L"https"}},
    {FileAssociationsPath, &RegistrationFindings::fileAssociations, false, {nullptr, nullptr}},
};

void CollectKindClasses(Report& report, const AssociationKind& kind,
                        const std::wstring& capabilitiesPath, std::vector<std::wstring>& classes) {
    const std::wstring path = kind.path(capabilitiesPath);
    Key associations;
    if (kind.keyRequired ? !OpenRequiredKey(report, report.root, path, associations)
                         : !OpenOptionalKey(report, report.root, path, associations)) {
        return;
    }
    const std::vector<std::wstring> names =
        CollectClasses(report, associations, path, report.findings.*kind.found, classes);
    for (const wchar_t* required : kind.requiredValues) {
        if (required != nullptr && !Contains(names, required)) {
            AddProblem(report, ValueName(report.root, path, required), L"the value is missing");
        }
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
    const std::wstring classPath = ClassKeyPath(progId);
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
        CheckOpenCommand(report, commandRoot, OpenCommandPath(classPath), command,
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
    for (const AssociationKind& kind : kAssociationKinds) {
        CollectKindClasses(report, kind, capabilitiesPath, classes);
    }
    for (const std::wstring& progId : classes) {
        CheckClass(report, progId);
    }
}

}  // namespace

RegistrationFindings InspectRegistration(RootKey root, const ClientName& clientName) {
    const std::wstring clientPath = ClientKeyPath(clientName);
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

}  // namespace registration

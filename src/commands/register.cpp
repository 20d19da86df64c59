// Registration: writes the layout of registration/layout.h under one root,
// stage by stage, then reads the http association back. Each stage reports
// its own failure and the next stage still runs.
#include "commands/commands.h"
#include "output/text.h"
#include "platform/platform.h"
#include "programs/command_program.h"
#include "programs/portable_package.h"
#include "programs/replaceable.h"

using registry::CreateKey;
using registry::Key;
using registry::kSuccess;
using registration::ClientName;
using registration::Data;
using registration::Extent;
using registration::Naming;
using registration::KeySpec;
using registration::Stage;
using registration::ValueSpec;

namespace {

// The readback's http association is read up to this many bytes.
constexpr std::size_t kAssociationBytes = 512;

bool Writes(Extent extent, const RegistrationOptions& options) {
    return extent == Extent::Always || options.all;
}

// A value that could not be written leaves the registration incomplete, so
// it is reported like a key that could not be created.
bool WriteValue(const Key& key, const wchar_t* name, const ValueSpec& value,
                const ClientName& clientName, const std::wstring& executablePath,
                const RegistrationOptions& options) {
    if (value.data == Data::Absent) {
        const registry::Status status = registry::DeleteValue(key, name);
        if (status != kSuccess && status != registry::kFileNotFound) {
            Print(L"Failed to delete value %ls.\n", name);
            return false;
        }
        return true;
    }
    const registry::Status status =
        value.data == Data::Nothing
            ? registry::SetValue(key, name, registry::kRegNone, {})
            : registry::SetString(key, name,
                                  registration::DataText(value.data, clientName, executablePath,
                                                         options.icon, *options.family));
    if (status != kSuccess) {
        Print(L"Failed to write value %ls.\n", name == nullptr ? L"(default)" : name);
        return false;
    }
    return true;
}

bool WriteValues(const Key& key, const std::vector<ValueSpec>& values, const ClientName& name,
                 const std::wstring& executablePath, const RegistrationOptions& options) {
    const std::wstring progId = registration::ProgId(name);
    bool written = true;
    for (const ValueSpec& value : values) {
        if (!Writes(value.extent, options)) {
            continue;
        }
        const wchar_t* valueName = value.naming == Naming::AfterClient   ? name.c_str()
                                   : value.naming == Naming::AfterProgId ? progId.c_str()
                                                                         : value.name;
        written = WriteValue(key, valueName, value, name, executablePath, options) && written;
    }
    return written;
}

bool WriteStage(RootKey root, const Stage& stage, const ClientName& name,
                const std::wstring& executablePath, const RegistrationOptions& options) {
    Key key;
    const KeySpec& own = stage.keys.front();
    // Every stage's key is created when missing, RegisteredApplications too: a
    // profile can lack it, and without it Default apps never lists the client.
    const std::wstring path = registration::StagePath(stage, name);
    if (CreateKey(root, path, key) != kSuccess) {
        Print(own.failure, path.c_str());
        return false;
    }
    bool complete = WriteValues(key, own.values, name, executablePath, options);
    for (std::size_t i = 1; i < stage.keys.size(); ++i) {
        const KeySpec& sub = stage.keys[i];
        Key subkey;
        if (CreateKey(key, sub.subPath, subkey) != kSuccess) {
            Print(sub.failure, (path + L"\\" + sub.subPath).c_str());
            complete = false;
            continue;
        }
        complete = WriteValues(subkey, sub.values, name, executablePath, options) && complete;
    }
    return complete;
}

// A relative path that names a file in the current folder, made full: a link
// is opened from some other folder, where the relative path names nothing.
// Anything else (quoted, absolute, or naming no file here) is kept as given.
std::wstring StoredExecutablePath(const std::wstring& given) {
    const bool quoted = given.find(L'"') != std::wstring::npos;
    const bool absolute = (given.size() >= 2 && given[1] == L':') ||
                          given.compare(0, 2, L"\\\\") == 0;
    if (quoted || absolute || !platform::IsExistingFile(given)) {
        return given;
    }
    return platform::FullPath(given);
}

// A portable package keeps the browser inside it and beside it a launcher
// that starts it with the profile kept in the package (portable_package.h
// knows the common layouts). Links opened with the inner browser would use a
// profile on the computer instead, so name the launcher.
void SuggestPortableLauncher(const std::wstring& executablePath) {
    const CommandProgram program = FindCommandProgram(executablePath);
    if (!program.exists) {
        return;
    }
    if (const std::optional<std::wstring> launcher = portable_package::LauncherOf(program.path)) {
        Print(L"%ls lies inside a portable package; register its launcher %ls instead, so "
              L"that links open with the profile kept in the package.\n",
              program.path.c_str(), launcher->c_str());
    }
}

}  // namespace

void WarnIfProgramIsMissing(const std::wstring& given) {
    const std::wstring stored = StoredExecutablePath(given);
    const std::wstring expanded = platform::ExpandEnvironment(stored);
    const std::size_t start = expanded.find_first_not_of(L" \t\"");
    // Asking a server that is away can take long; such paths are not asked.
    if (start != std::wstring::npos && expanded.compare(start, 2, L"\\\\") == 0) {
        return;
    }
    const CommandProgram program = FindCommandProgram(expanded);
    if (program.shape != CommandProgram::Shape::Blank && !program.exists) {
        platform::WriteError(L"Warning: no program exists at " + program.path +
                             L"; links will not open until it is there.\n");
    }
}

void PrintCapabilities(RootKey root, const ClientName& clientName) {
    Key key;
    const std::wstring path =
        registration::UrlAssociationsPath(registration::CapabilitiesPath(clientName));
    if (registry::OpenKey(root, path, registry::Access::Read, key) != kSuccess) {
        Print(L"Capabilities: [Not found]\n");
        return;
    }
    std::wstring http;
    if (registry::ReadString(key, L"http", registry::kAcceptAnyString, kAssociationBytes, http) ==
        kSuccess) {
        Print(L"http/https: %ls\n", http.c_str());
    } else {
        Print(L"http/https: [Not found]\n");
    }
}

namespace {

// What the icons hold for a command: the program alone when the path is
// quoted or carries arguments after an existing program (an icon location
// takes neither), else the path exactly as given.
std::wstring IconOf(const std::wstring& executablePath) {
    const CommandProgram program = FindCommandProgram(executablePath);
    const bool quoted = program.shape == CommandProgram::Shape::Quoted;
    const bool withArguments = program.shape == CommandProgram::Shape::Words && program.exists &&
                               program.path.size() < executablePath.size();
    return quoted || withArguments ? program.path : std::wstring();
}

// The family of the program a command starts, as its files tell it; Other
// when no program is found.
portable_package::BrowserFamily FamilyOf(const std::wstring& executablePath) {
    const CommandProgram program = FindCommandProgram(platform::ExpandEnvironment(executablePath));
    return program.exists ? portable_package::CommandLineFamily(platform::FullPath(program.path))
                          : portable_package::BrowserFamily::Other;
}

}  // namespace

Outcome RegisterBrowser(RootKey root, const ClientName& clientName, const std::wstring& given,
                        const RegistrationOptions& requested) {
    const std::wstring executablePath = StoredExecutablePath(given);
    RegistrationOptions options = requested;
    if (options.icon.empty()) {
        options.icon = IconOf(executablePath);
    }
    if (!options.family) {
        options.family = FamilyOf(executablePath);
    }
    bool complete = true;
    for (const Stage& stage : registration::Layout()) {
        if (Writes(stage.extent, options)) {
            complete = WriteStage(root, stage, clientName, executablePath, options) && complete;
        }
    }
    platform::NotifyAssociationsChanged();
    Print(complete ? L"Portable browser registered successfully.\n"
                   : L"Portable browser registration incomplete.\n");
    PrintCapabilities(root, clientName);
    SuggestPortableLauncher(executablePath);
    if (complete && root == RootKey::LocalMachine) {
        WarnIfStandardUsersCouldChange(executablePath);
    }
    return complete ? Outcome::Done : Outcome::Failed;
}

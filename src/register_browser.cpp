// Registration: writes the layout of registration.h under one root, stage
// by stage, then reads the http association back. Each stage reports its own
// failure and the next stage still runs.
#include "marovendel.h"
#include "platform/platform.h"
#include "portable_package.h"

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

bool Writes(Extent extent, const RegistrationOptions& options) {
    return extent == Extent::Always || options.all;
}

// A value that could not be written leaves the registration incomplete, so
// it is reported like a key that could not be created.
bool WriteValue(const Key& key, const wchar_t* name, const ValueSpec& value,
                const ClientName& clientName, const std::wstring& executablePath,
                const std::wstring& icon) {
    const registry::Status status =
        value.data == Data::Nothing
            ? registry::SetValue(key, name, registry::kRegNone, {})
            : registry::SetString(key, name,
                                  registration::DataText(value.data, clientName, executablePath, icon));
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
        written = WriteValue(key, valueName, value, name, executablePath, options.icon) && written;
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
// that starts it with the profile kept in the package (portable_package.cpp
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

std::wstring ParentOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The root of the drive or share that holds path, with its last backslash
// (C:\ or \\server\share\); empty when path names neither.
std::wstring DriveRoot(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        return path.substr(0, 3);
    }
    if (path.compare(0, 2, L"\\\\") != 0 || path.compare(0, 3, L"\\\\?") == 0 ||
        path.compare(0, 3, L"\\\\.") == 0) {
        return std::wstring();
    }
    const std::size_t server = path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? std::wstring() : path.substr(0, share + 1);
}

// The folder that holds path and each one above it, the root last.
std::vector<std::wstring> FoldersUpToRoot(const std::wstring& path, const std::wstring& root) {
    std::vector<std::wstring> folders;
    for (std::wstring folder = ParentOf(path); folder.size() >= root.size();
         folder = ParentOf(folder)) {
        folders.push_back(folder);
    }
    folders.push_back(root);
    return folders;
}

// Where program lies that standard users could change it, as the words of
// the warning ("on a removable drive"); empty when nowhere they could.
std::wstring ChangeableByStandardUsers(const std::wstring& program) {
    const std::wstring root = DriveRoot(program);
    if (root.empty()) {
        return std::wstring();
    }
    switch (platform::QueryDriveType(root)) {
    case platform::DriveType::Removable:
        return L"on a removable drive";
    case platform::DriveType::Network:
        return L"on a network drive";
    default:
        break;
    }
    for (const std::wstring& folder : FoldersUpToRoot(program, root)) {
        platform::FolderDacl dacl;
        if (platform::ReadFolderDacl(folder, dacl) && platform::GrantsStandardUsersChange(dacl)) {
            return L"in " + folder + L", which standard users may change";
        }
    }
    return std::wstring();
}

// A registration for every user runs its program as whoever opens a link,
// administrators included: a program that standard users can replace hands
// each of them that user's rights.
void WarnIfStandardUsersCouldChange(const std::wstring& executablePath) {
    const CommandProgram program = FindCommandProgram(platform::ExpandEnvironment(executablePath));
    if (!program.exists) {
        return;
    }
    const std::wstring where = ChangeableByStandardUsers(program.path);
    if (!where.empty()) {
        platform::WriteError(L"Warning: " + program.path + L" lies " + where +
                             L", so any of them could replace it and run code as every user who "
                             L"opens a link; it belongs in a folder under Program Files.\n");
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
    registry::ValueData http;
    if (registry::QueryValue(key, L"http", 512, http) == kSuccess &&
        (http.type == registry::kRegSz || http.type == registry::kRegExpandSz)) {
        Print(L"http/https: %ls\n", registry::StringFromBytes(http.bytes).c_str());
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

}  // namespace

Outcome RegisterBrowser(RootKey root, const ClientName& clientName, const std::wstring& given,
                        const RegistrationOptions& requested) {
    const std::wstring executablePath = StoredExecutablePath(given);
    RegistrationOptions options = requested;
    if (options.icon.empty()) {
        options.icon = IconOf(executablePath);
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

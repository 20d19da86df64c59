#include "support/test_platform.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/native_view.h"
#include "platform/output_buffer.h"
#include "platform/platform.h"
#include "platform/shell_link.h"
#include "support/shell_link_file.h"

namespace {

struct FaultRule {
    test_platform::FileOp op;
    std::wstring pathPart;
    unsigned occurrence;
    unsigned seen = 0;
};

struct OpenFile {
    std::wstring path;
};

struct Machine {
    bool isAdmin = true;
    std::wstring executableDirectory = L"C:\\Tools";
    std::wstring output;  // what reached standard output
    std::wstring errors;  // what reached standard error
    std::map<std::wstring, platform::DriveType> driveTypes;  // by upper-case root
    std::map<std::wstring, platform::ObjectSecurity> securities;  // by upper-case path
    std::set<std::wstring> administratorSids;
    std::map<std::wstring, std::wstring> accountNames;  // by SID
    std::wstring driveLetters = L"C";
    std::uint32_t errorMode = 0;  // SEM_FAILCRITICALERRORS is 1
    std::vector<std::wstring> filesCheckedLoudly;
    std::size_t outputPieces = 0;
    std::map<std::wstring, std::vector<std::uint8_t>> files;
    std::map<std::uintptr_t, OpenFile> openFiles;
    std::uintptr_t nextFile = 0x100;
    std::vector<FaultRule> rules;
    std::uint64_t operations = 0;
    std::uint64_t failAtOperation = 0;
    int notifications = 0;
    std::vector<test_platform::FileOperationRecord> log;
    std::vector<std::wstring> openedUris;
    bool shellRefuses = false;
    bool defaultProgramsRefuses = false;
    std::vector<std::wstring> defaultProgramsOpened;
    std::map<std::wstring, std::wstring> environment;  // by upper-case name
    std::wstring currentFolder = L"C:\\Users\\User";
    std::map<std::wstring, std::wstring> displayNames;
    std::map<std::wstring, std::wstring> defaults;
    std::wstring defaultsFailure;  // empty: answer from defaults
    std::vector<std::wstring> queriedDefaults;
    bool ownsConsoleWindow = false;
    std::optional<std::vector<std::uint8_t>> parentProgram;  // the starting program's file start
    int keyPressWaits = 0;
    std::vector<std::wstring> directories;  // as put, compared ignoring case
    std::uint16_t nativeMachine = 0x8664;
    platform::WindowsVersion windowsVersion{10, 0, 26100};
    std::vector<std::wstring> consoleInput;
    std::size_t consoleLinesRead = 0;
    int consoleReads = 0;
};

Machine& TheMachine() {
    static Machine machine;
    return machine;
}

// Counts the operation and answers whether it is made to fail.
bool Fails(test_platform::FileOp op, const std::wstring& path) {
    Machine& machine = TheMachine();
    ++machine.operations;
    if (machine.failAtOperation != 0 && machine.operations == machine.failAtOperation) {
        return true;
    }
    for (FaultRule& rule : machine.rules) {
        if (rule.op != op || path.find(rule.pathPart) == std::wstring::npos) {
            continue;
        }
        ++rule.seen;
        if (rule.occurrence == 0 || rule.occurrence == rule.seen) {
            return true;
        }
    }
    return false;
}

// Pieces are small here, so that commands hand on full pieces mid-run as the
// real program does on long listings, and the rest only at the flush.
constexpr std::size_t kTestPieceChars = 64;

platform::OutputBuffer& PendingOutput() {
    static platform::OutputBuffer buffer(kTestPieceChars, [](const std::wstring& piece) {
        TheMachine().output += piece;
        ++TheMachine().outputPieces;
    });
    return buffer;
}

bool Logged(test_platform::FileOp op, const std::wstring& path, bool succeeded) {
    TheMachine().log.push_back(test_platform::FileOperationRecord{op, path, succeeded});
    return succeeded;
}

std::wstring UpperAscii(std::wstring text) {
    for (wchar_t& ch : text) {
        if (ch >= L'a' && ch <= L'z') {
            ch = static_cast<wchar_t>(ch - L'a' + L'A');
        }
    }
    return text;
}

// Whether name matches pattern, where * stands for any run of characters and
// ? for any one.
bool Matches(const std::wstring& pattern, const std::wstring& name) {
    if (pattern.empty()) {
        return name.empty();
    }
    if (pattern[0] == L'*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (Matches(pattern.substr(1), name.substr(skip))) {
                return true;
            }
        }
        return false;
    }
    return !name.empty() && (pattern[0] == L'?' || pattern[0] == name[0]) &&
           Matches(pattern.substr(1), name.substr(1));
}

// path with every "." and ".." step taken and / as \. Paths that do not
// start with a drive ("C:\") are left as they are.
std::wstring Normalized(std::wstring path) {
    for (wchar_t& ch : path) {
        if (ch == L'/') {
            ch = L'\\';
        }
    }
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') {
        return path;
    }
    std::vector<std::wstring> steps;
    std::size_t start = 3;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        const std::wstring step = path.substr(start, end - start);
        if (step == L"..") {
            if (!steps.empty()) {
                steps.pop_back();
            }
        } else if (!step.empty() && step != L".") {
            steps.push_back(step);
        }
        start = end + 1;
    }
    std::wstring out = path.substr(0, 3);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        out += (i == 0 ? L"" : L"\\") + steps[i];
    }
    return out;
}

OpenFile* Lookup(const platform::File& file) {
    auto found = TheMachine().openFiles.find(file.Native());
    return found == TheMachine().openFiles.end() ? nullptr : &found->second;
}

}  // namespace

namespace platform {

bool IsMemberOfAdministrators() {
    return TheMachine().isAdmin;
}

void WriteOutput(const std::wstring& text) {
    PendingOutput().Append(text);
}

void FlushOutput() {
    PendingOutput().Flush();
}

void WriteError(const std::wstring& text) {
    FlushOutput();
    TheMachine().errors += text;
}

bool GetExecutableDirectory(std::wstring& directory) {
    if (TheMachine().executableDirectory.empty()) {
        return false;
    }
    directory = TheMachine().executableDirectory;
    return true;
}

void File::Discard() {
    if (native_ != 0) {
        TheMachine().openFiles.erase(native_);
        native_ = 0;
    }
}

bool CreateFileForWriting(const std::wstring& path, File& out) {
    if (Fails(test_platform::FileOp::Create, path)) {
        return Logged(test_platform::FileOp::Create, path, false);
    }
    Machine& machine = TheMachine();
    machine.files[path].clear();
    const std::uintptr_t handle = machine.nextFile;
    machine.nextFile += 4;
    machine.openFiles[handle] = OpenFile{path};
    out = File(handle);
    return Logged(test_platform::FileOp::Create, path, true);
}

bool WriteToFile(File& file, const void* bytes, std::size_t count) {
    OpenFile* open = Lookup(file);
    if (open == nullptr) {
        return false;
    }
    if (Fails(test_platform::FileOp::Write, open->path)) {
        return Logged(test_platform::FileOp::Write, open->path, false);
    }
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    std::vector<std::uint8_t>& contents = TheMachine().files[open->path];
    contents.insert(contents.end(), data, data + count);
    return Logged(test_platform::FileOp::Write, open->path, true);
}

bool CloseFile(File& file) {
    OpenFile* open = Lookup(file);
    if (open == nullptr) {
        return false;
    }
    const std::wstring path = open->path;
    const bool failed = Fails(test_platform::FileOp::Close, path);
    TheMachine().openFiles.erase(file.Release());
    return Logged(test_platform::FileOp::Close, path, !failed);
}

namespace {

bool MoveFile(const std::wstring& from, const std::wstring& to, bool replace) {
    Machine& machine = TheMachine();
    auto source = machine.files.find(from);
    if (Fails(test_platform::FileOp::Move, to) || source == machine.files.end() ||
        (!replace && machine.files.count(to) != 0)) {
        return Logged(test_platform::FileOp::Move, to, false);
    }
    std::vector<std::uint8_t> contents = std::move(source->second);
    machine.files.erase(source);
    machine.files[to] = std::move(contents);
    return Logged(test_platform::FileOp::Move, to, true);
}

}  // namespace

bool MoveFileOver(const std::wstring& from, const std::wstring& to) {
    return MoveFile(from, to, true);
}

bool MoveFileToNewName(const std::wstring& from, const std::wstring& to) {
    return MoveFile(from, to, false);
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    const auto found = TheMachine().files.find(path);
    if (Fails(test_platform::FileOp::Read, path) || found == TheMachine().files.end()) {
        return Logged(test_platform::FileOp::Read, path, false);
    }
    bytes = found->second;
    return Logged(test_platform::FileOp::Read, path, true);
}

bool RemoveFile(const std::wstring& path) {
    const bool removed = !Fails(test_platform::FileOp::Remove, path) &&
                         TheMachine().files.erase(path) != 0;
    return Logged(test_platform::FileOp::Remove, path, removed);
}

void NotifyAssociationsChanged() {
    ++TheMachine().notifications;
}

bool OpenWithShell(const std::wstring& uri) {
    TheMachine().openedUris.push_back(uri);
    return !TheMachine().shellRefuses;
}

bool OpenDefaultPrograms(const std::wstring& applicationName) {
    TheMachine().defaultProgramsOpened.push_back(applicationName);
    return !TheMachine().defaultProgramsRefuses;
}

std::wstring ExpandEnvironment(const std::wstring& text) {
    const auto& environment = TheMachine().environment;
    std::wstring out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = text.find(L'%', pos);
        const std::size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            return out + text.substr(pos);
        }
        out.append(text, pos, open - pos);
        auto found = environment.find(UpperAscii(text.substr(open + 1, close - open - 1)));
        if (found == environment.end()) {
            // An unknown name stays; its closing % may open the next one.
            out.append(text, open, close - open);
            pos = close;
        } else {
            out += found->second;
            pos = close + 1;
        }
    }
}

bool IsExistingFile(const std::wstring& path) {
    if ((TheMachine().errorMode & 1) == 0) {
        TheMachine().filesCheckedLoudly.push_back(path);
    }
    return TheMachine().files.count(path) != 0 || TheMachine().files.count(FullPath(path)) != 0;
}

DriveType QueryDriveType(const std::wstring& root) {
    auto found = TheMachine().driveTypes.find(UpperAscii(root));
    return found == TheMachine().driveTypes.end() ? DriveType::Fixed : found->second;
}

std::wstring LogicalDriveLetters() {
    return TheMachine().driveLetters;
}

std::uint32_t BeginQuietDriveErrors() {
    const std::uint32_t previous = TheMachine().errorMode;
    TheMachine().errorMode |= 1;
    return previous;
}

void EndQuietDriveErrors(std::uint32_t previous) {
    TheMachine().errorMode = previous;
}

bool ReadObjectSecurity(const std::wstring& path, ObjectSecurity& out) {
    auto found = TheMachine().securities.find(UpperAscii(path));
    if (found == TheMachine().securities.end()) {
        return false;
    }
    out = found->second;
    return true;
}

std::set<std::wstring> AdministratorsAmong(const std::vector<std::wstring>& sids) {
    std::set<std::wstring> administrators;
    for (const std::wstring& sid : sids) {
        if (TheMachine().administratorSids.count(sid) != 0) {
            administrators.insert(sid);
        }
    }
    return administrators;
}

std::wstring CurrentUserSid() {
    return L"S-1-5-21-1-2-3-1000";
}

std::wstring AccountName(const std::wstring& sid) {
    auto found = TheMachine().accountNames.find(sid);
    return found == TheMachine().accountNames.end() ? sid : found->second;
}

std::vector<std::wstring> FindFiles(const std::wstring& directory, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    const std::wstring folder = UpperAscii(directory) + L"\\";
    for (const auto& file : TheMachine().files) {
        const std::wstring path = UpperAscii(file.first);
        if (path.compare(0, folder.size(), folder) == 0 &&
            path.find(L'\\', folder.size()) == std::wstring::npos &&
            Matches(UpperAscii(pattern), path.substr(folder.size()))) {
            names.push_back(file.first.substr(folder.size()));
        }
    }
    return names;
}

std::wstring FullPath(const std::wstring& path) {
    const std::wstring& folder = TheMachine().currentFolder;
    const bool unc = path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') &&
                     (path[1] == L'\\' || path[1] == L'/');
    const bool drive = path.size() >= 2 && path[1] == L':';
    if (path.empty() || unc) {
        return path;
    }
    if (drive) {
        return Normalized(path);
    }
    if (path[0] == L'\\' || path[0] == L'/') {
        return Normalized(folder.substr(0, 2) + path);  // the current folder's drive
    }
    return Normalized(folder + L"\\" + path);
}

bool IsRunningExecutable(const std::wstring& path) {
    const std::wstring& directory = TheMachine().executableDirectory;
    return !directory.empty() &&
           UpperAscii(FullPath(path)) == UpperAscii(directory + L"\\Marovendel.exe");
}

std::wstring ProgramDisplayName(const std::wstring& path) {
    auto found = TheMachine().displayNames.find(path);
    return found == TheMachine().displayNames.end() ? std::wstring() : found->second;
}

bool ReadShortcut(const std::wstring& path, Shortcut& out) {
    // The rule the Windows platform applies, on this machine's files and
    // environment; there is no shell to ask for an ID list.
    auto found = TheMachine().files.find(path);
    shell_link::Link link;
    if (found == TheMachine().files.end() || !shell_link::Parse(found->second, test_link::Latin1, link)) {
        return false;
    }
    static constexpr ShortcutLookups kLookups = {IsExistingFile, ExpandEnvironment, FullPath};
    const std::wstring target = NativeShortcutTarget(link, path, kLookups);
    if (target.empty()) {
        return false;
    }
    out = Shortcut{target, link.arguments, link.workingDirectory};
    return true;
}

CurrentDefault QueryCurrentDefault(const std::wstring& association) {
    Machine& machine = TheMachine();
    machine.queriedDefaults.push_back(association);
    CurrentDefault answer;
    auto found = machine.defaults.find(association);
    if (!machine.defaultsFailure.empty()) {
        answer.reason = machine.defaultsFailure;
    } else if (found == machine.defaults.end()) {
        answer.reason = L"no default is set (0x80070483)";
    } else {
        answer.known = true;
        answer.progId = found->second;
    }
    return answer;
}

bool IsExistingDirectory(const std::wstring& path) {
    const std::wstring wanted = UpperAscii(FullPath(path));
    for (const std::wstring& directory : TheMachine().directories) {
        if (UpperAscii(directory) == wanted) {
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> FindFolders(const std::wstring& directory, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    const std::wstring parent = UpperAscii(directory) + L"\\";
    for (const std::wstring& folder : TheMachine().directories) {
        const std::wstring upper = UpperAscii(folder);
        const std::wstring name = folder.substr(std::min(parent.size(), folder.size()));
        if (upper.compare(0, parent.size(), parent) == 0 && name.find(L'\\') == std::wstring::npos &&
            Matches(UpperAscii(pattern), UpperAscii(name)) &&
            std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    }
    return names;
}

// The pretend machine's ANSI code page is Latin-1: each byte is the
// character of that number.
std::wstring AnsiText(const std::vector<std::uint8_t>& bytes) {
    return std::wstring(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> ReadFileStart(const std::wstring& path, std::size_t count) {
    auto found = TheMachine().files.find(FullPath(path));
    if (found == TheMachine().files.end()) {
        return {};
    }
    const std::vector<std::uint8_t>& bytes = found->second;
    return std::vector<std::uint8_t>(bytes.begin(),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(count, bytes.size())));
}

std::uint16_t NativeMachine() {
    return TheMachine().nativeMachine;
}

WindowsVersion QueryWindowsVersion() {
    return TheMachine().windowsVersion;
}

bool ReadConsoleLine(std::wstring& line) {
    FlushOutput();
    Machine& machine = TheMachine();
    ++machine.consoleReads;
    if (machine.consoleLinesRead >= machine.consoleInput.size()) {
        return false;
    }
    line = machine.consoleInput[machine.consoleLinesRead++];
    // What was typed shows in the window, as the console echoes it.
    machine.output += line + L"\n";
    return true;
}

bool OwnsConsoleWindow(WindowedProgramJudge isWindowedProgram) {
    const Machine& machine = TheMachine();
    return machine.ownsConsoleWindow &&
           (!machine.parentProgram || isWindowedProgram(*machine.parentProgram));
}

// The pretend console has no width: its text stays as printed, and the
// wrapping itself is tested as the pure function it is.
void WrapOutputToWindow() {}

void WaitForKeyPress() {
    FlushOutput();
    ++TheMachine().keyPressWaits;
}

}  // namespace platform

namespace test_platform {

void Reset() {
    PendingOutput().Flush();  // into the old machine: a new one starts with nothing
    TheMachine() = Machine{};
}

void SetAdministrator(bool isAdmin) {
    TheMachine().isAdmin = isAdmin;
}

void SetExecutableDirectory(const std::wstring& directory) {
    TheMachine().executableDirectory = directory;
}

const std::wstring& Output() {
    return TheMachine().output;
}

const std::wstring& ErrorOutput() {
    return TheMachine().errors;
}

void SetDriveType(const std::wstring& root, platform::DriveType type) {
    TheMachine().driveTypes[UpperAscii(root)] = type;
}

void SetObjectSecurity(const std::wstring& path, const platform::ObjectSecurity& security) {
    TheMachine().securities[UpperAscii(path)] = security;
}

void SetAdministratorSids(const std::set<std::wstring>& sids) {
    TheMachine().administratorSids = sids;
}

void SetAccountName(const std::wstring& sid, const std::wstring& name) {
    TheMachine().accountNames[sid] = name;
}

void SetLogicalDriveLetters(const std::wstring& letters) {
    TheMachine().driveLetters = letters;
}

bool QuietDriveErrorsOn() {
    return (TheMachine().errorMode & 1) != 0;
}

const std::vector<std::wstring>& FilesCheckedLoudly() {
    return TheMachine().filesCheckedLoudly;
}

std::size_t OutputPieceCount() {
    return TheMachine().outputPieces;
}

void PutFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    TheMachine().files[path] = bytes;
}

std::optional<std::vector<std::uint8_t>> FileContents(const std::wstring& path) {
    auto found = TheMachine().files.find(path);
    if (found == TheMachine().files.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<std::wstring> FilePaths() {
    std::vector<std::wstring> paths;
    for (const auto& file : TheMachine().files) {
        paths.push_back(file.first);
    }
    return paths;
}

std::size_t OpenFileCount() {
    return TheMachine().openFiles.size();
}

void FailFileOperation(FileOp op, const std::wstring& pathPart, unsigned occurrence) {
    TheMachine().rules.push_back(FaultRule{op, pathPart, occurrence});
}

void FailFileOperationNumber(std::uint64_t n) {
    TheMachine().failAtOperation = n;
}

std::uint64_t FileOperationCount() {
    return TheMachine().operations;
}

const std::vector<FileOperationRecord>& FileOperationLog() {
    return TheMachine().log;
}

void ClearFileFaultsAndCounters() {
    Machine& machine = TheMachine();
    machine.rules.clear();
    machine.operations = 0;
    machine.failAtOperation = 0;
    machine.log.clear();
}

void ClearOutput() {
    PendingOutput().Flush();
    TheMachine().output.clear();
}

int NotificationCount() {
    return TheMachine().notifications;
}

const std::vector<std::wstring>& OpenedUris() {
    return TheMachine().openedUris;
}

void RefuseToOpen() {
    TheMachine().shellRefuses = true;
}

void RefuseDefaultPrograms() {
    TheMachine().defaultProgramsRefuses = true;
}

const std::vector<std::wstring>& DefaultProgramsOpened() {
    return TheMachine().defaultProgramsOpened;
}

void SetEnvironment(const std::wstring& name, const std::wstring& value) {
    TheMachine().environment[UpperAscii(name)] = value;
}

void SetCurrentFolder(const std::wstring& folder) {
    TheMachine().currentFolder = folder;
}

void SetProgramDisplayName(const std::wstring& path, const std::wstring& name) {
    TheMachine().displayNames[path] = name;
}

void PutShortcut(const std::wstring& path, const std::wstring& target,
                 const std::wstring& arguments, const std::wstring& workingDirectory) {
    test_link::Layout layout;
    layout.linkInfoPath = target;
    layout.arguments = arguments;
    layout.workingDirectory = workingDirectory;
    PutFile(path, test_link::LinkBytes(layout));
}

void SetCurrentDefault(const std::wstring& association, const std::wstring& progId) {
    TheMachine().defaults[association] = progId;
}

void FailCurrentDefault(const std::wstring& reason) {
    TheMachine().defaultsFailure = reason;
}

const std::vector<std::wstring>& QueriedDefaults() {
    return TheMachine().queriedDefaults;
}

void PutDirectory(const std::wstring& path) {
    for (std::size_t slash = path.find(L'\\', 3);; slash = path.find(L'\\', slash + 1)) {
        TheMachine().directories.push_back(path.substr(0, slash));
        if (slash == std::wstring::npos) {
            return;
        }
    }
}

void SetNativeMachine(std::uint16_t machine) {
    TheMachine().nativeMachine = machine;
}

void SetWindowsVersion(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
    TheMachine().windowsVersion = platform::WindowsVersion{major, minor, build};
}

void SetConsoleInput(const std::vector<std::wstring>& lines) {
    TheMachine().consoleInput = lines;
    TheMachine().consoleLinesRead = 0;
}

int ConsoleReadCount() {
    return TheMachine().consoleReads;
}

void SetOwnsConsoleWindow(bool owns) {
    TheMachine().ownsConsoleWindow = owns;
}

void SetParentProgram(const std::vector<std::uint8_t>& fileStart) {
    TheMachine().parentProgram = fileStart;
}

int KeyPressWaitCount() {
    return TheMachine().keyPressWaits;
}

}  // namespace test_platform

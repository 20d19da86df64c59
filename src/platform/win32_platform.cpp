// The platform seam on Windows: the token, the console, files and the
// environment.
// The calls into the shell are in win32_shell.cpp.
#include <windows.h>

#include <aclapi.h>

#include <vector>

#include "platform/console_window.h"
#include "platform/native_view.h"
#include "platform/output_buffer.h"
#include "platform/platform.h"
#include "platform/win32_acl.h"

namespace platform {

bool IsMemberOfAdministrators() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                 DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        if (!CheckTokenMembership(nullptr, administrators, &member)) {
            member = FALSE;
        }
        FreeSid(administrators);
    }
    return member != FALSE;
}

namespace {

// Console writes stay well below the 64 KB that older consoles accept in one
// call; redirected, a piece becomes at most three times as many UTF-8 bytes.
constexpr std::size_t kOutputPieceChars = 8192;

void WriteAll(HANDLE handle, const char* data, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(handle, data, size, &written, nullptr) || written == 0) {
            return;
        }
        data += written;
        size -= written;
    }
}

// Standard output or standard error, looked at once. A console gets the text
// as it is. Redirected output is UTF-8 with CR LF line ends, so that no
// character is lost to a code page.
class StandardOutput {
public:
    explicit StandardOutput(DWORD which) : handle_(GetStdHandle(which)) {
        DWORD mode = 0;
        usable_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
        console_ = usable_ && GetConsoleMode(handle_, &mode);
    }

    void Write(const std::wstring& text) const {
        if (!usable_ || text.empty()) {
            return;
        }
        if (console_) {
            WriteToConsole(text);
        } else {
            WriteUtf8(text);
        }
    }

private:
    void WriteToConsole(const std::wstring& text) const {
        const wchar_t* data = text.data();
        DWORD left = static_cast<DWORD>(text.size());
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(handle_, data, left, &written, nullptr) || written == 0) {
                return;
            }
            data += written;
            left -= written;
        }
    }

    void WriteUtf8(const std::wstring& text) const {
        std::wstring lines;
        lines.reserve(text.size() + text.size() / 16 + 8);
        for (wchar_t ch : text) {
            if (ch == L'\n') {
                lines.push_back(L'\r');
            }
            lines.push_back(ch);
        }
        const int wide = static_cast<int>(lines.size());
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, lines.data(), wide, nullptr, 0, nullptr, nullptr);
        if (size <= 0) {
            return;
        }
        std::vector<char> utf8(static_cast<std::size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, lines.data(), wide, utf8.data(), size, nullptr, nullptr);
        WriteAll(handle_, utf8.data(), static_cast<DWORD>(size));
    }

    HANDLE handle_;
    bool usable_ = false;
    bool console_ = false;
};

OutputBuffer& Output() {
    // Made first, so it outlives the buffer that writes to it.
    static const StandardOutput standardOutput(STD_OUTPUT_HANDLE);
    static OutputBuffer buffer(kOutputPieceChars,
                               [](const std::wstring& piece) { standardOutput.Write(piece); });
    return buffer;
}

}  // namespace

void WriteOutput(const std::wstring& text) {
    Output().Append(text);
}

void FlushOutput() {
    Output().Flush();
}

void WriteError(const std::wstring& text) {
    static const StandardOutput standardError(STD_ERROR_HANDLE);
    FlushOutput();
    standardError.Write(text);
}

namespace {

// The full path of the running executable.
bool GetExecutablePath(std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return false;
        }
        if (length < buffer.size()) {
            path.assign(buffer.data(), length);
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

bool GetExecutableDirectory(std::wstring& directory) {
    if (!GetExecutablePath(directory)) {
        return false;
    }
    const std::size_t slash = directory.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return false;
    }
    directory.resize(slash);
    return true;
}

void File::Discard() {
    if (native_ != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(native_));
        native_ = 0;
    }
}

bool CreateFileForWriting(const std::wstring& path, File& out) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    out = File(reinterpret_cast<std::uintptr_t>(handle));
    return true;
}

bool WriteToFile(File& file, const void* bytes, std::size_t count) {
    const char* data = static_cast<const char*>(bytes);
    while (count > 0) {
        DWORD written = 0;
        const DWORD chunk = count > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count);
        if (!::WriteFile(reinterpret_cast<HANDLE>(file.Native()), data, chunk, &written, nullptr) ||
            written == 0) {
            return false;
        }
        data += written;
        count -= written;
    }
    return true;
}

bool CloseFile(File& file) {
    HANDLE handle = reinterpret_cast<HANDLE>(file.Release());
    if (handle == nullptr) {
        return false;
    }
    const bool flushed = FlushFileBuffers(handle) != FALSE;
    const bool closed = CloseHandle(handle) != FALSE;
    return flushed && closed;
}

bool MoveFileOver(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool MoveFileToNewName(const std::wstring& from, const std::wstring& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when to exists.
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const File file(reinterpret_cast<std::uintptr_t>(handle));  // closes it
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size) || size.QuadPart > 0x7FFFFFFF) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read,
                        nullptr) ||
            read == 0) {
            return false;
        }
        done += read;
    }
    return true;
}

bool RemoveFile(const std::wstring& path) {
    return DeleteFileW(path.c_str()) != FALSE;
}

namespace {

// ExpandEnvironmentStringsW fails for results longer than this.
constexpr DWORD kMaxExpandedChars = 32767;

// Whether this 32-bit process runs on 64-bit Windows, asked once.
bool RunsUnderWow64() {
    static const bool wow64 = [] {
        BOOL answer = FALSE;
        return IsWow64Process(GetCurrentProcess(), &answer) && answer != FALSE;
    }();
    return wow64;
}

// The Windows directory (the same in either view), asked once.
const std::wstring& WindowsDirectory() {
    static const std::wstring directory = [] {
        wchar_t buffer[MAX_PATH + 1] = {};
        const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH + 1);
        return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
    }();
    return directory;
}

// Whether the environment names the 64-bit folders (Windows 7 and later).
bool HasNativeVariables() {
    return GetEnvironmentVariableW(L"ProgramW6432", nullptr, 0) > 0;
}

// path where the 64-bit shell would look for it.
std::wstring NativePath(const std::wstring& path) {
    return RunsUnderWow64() ? WithNativeSystemDirectory(path, WindowsDirectory()) : path;
}

}  // namespace

std::wstring ExpandEnvironment(const std::wstring& given) {
    // A command is started by 64-bit Explorer: read its variables that way.
    const std::wstring text =
        RunsUnderWow64() && HasNativeVariables() ? WithNativeVariables(given) : given;
    std::vector<wchar_t> buffer(text.size() + 1);
    for (;;) {
        const DWORD needed =
            ExpandEnvironmentStringsW(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (needed == 0 || needed > kMaxExpandedChars + 1) {
            return given;
        }
        if (needed <= buffer.size()) {
            return std::wstring(buffer.data(), needed - 1);  // needed counts the terminator
        }
        buffer.resize(needed);
    }
}

namespace {

// Closes a file search on every way out.
class FileSearch {
public:
    FileSearch(const std::wstring& pattern, WIN32_FIND_DATAW& found)
        : handle_(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, 0)) {}
    ~FileSearch() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            FindClose(handle_);
        }
    }
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;

    bool Started() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAW& found) const { return FindNextFileW(handle_, &found) != FALSE; }

private:
    HANDLE handle_;
};

}  // namespace

std::vector<std::wstring> FindFiles(const std::wstring& directory, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const FileSearch search(directory + L"\\" + pattern, found);
    for (bool more = search.Started(); more; more = search.Next(found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.emplace_back(found.cFileName);
        }
    }
    return names;
}

bool IsExistingFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(NativePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DriveType QueryDriveType(const std::wstring& root) {
    switch (GetDriveTypeW(root.c_str())) {
    case DRIVE_FIXED:
        return DriveType::Fixed;
    case DRIVE_REMOVABLE:
        return DriveType::Removable;
    case DRIVE_REMOTE:
        return DriveType::Network;
    case DRIVE_UNKNOWN:
    case DRIVE_NO_ROOT_DIR:
        return DriveType::Unknown;
    default:
        return DriveType::Other;
    }
}

namespace {

// Frees on every way out what GetNamedSecurityInfoW allocated.
class LocalMemory {
public:
    explicit LocalMemory(void* memory) : memory_(memory) {}
    ~LocalMemory() { LocalFree(memory_); }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;

private:
    void* memory_;
};

}  // namespace

bool ReadFolderDacl(const std::wstring& folder, FolderDacl& out) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const LocalMemory held(descriptor);  // dacl points into it
    out = FolderDaclOf(dacl);
    return true;
}

std::wstring FullPath(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length);  // length then counts the terminator
    }
}

namespace {

// Which file path names, whatever way it is written: its volume and its
// index on that volume.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

bool IdentifyFile(const std::wstring& path, FileIdentity& out) {
    const HANDLE handle =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const File file(reinterpret_cast<std::uintptr_t>(handle));  // closes it
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    out.volume = information.dwVolumeSerialNumber;
    out.indexHigh = information.nFileIndexHigh;
    out.indexLow = information.nFileIndexLow;
    return true;
}

}  // namespace

bool IsRunningExecutable(const std::wstring& path) {
    std::wstring self;
    FileIdentity running;
    FileIdentity named;
    return GetExecutablePath(self) && IdentifyFile(self, running) && IdentifyFile(path, named) &&
           running.volume == named.volume && running.indexHigh == named.indexHigh &&
           running.indexLow == named.indexLow;
}

namespace {

bool IsConsoleHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A hidden start (WScript.Shell's Run with 0, Start-Process -WindowStyle
// Hidden, a scheduled task) asks for SW_HIDE in the startup information. The
// console window's own visibility is no signal: with Windows Terminal as the
// default terminal, GetConsoleWindow returns ConPTY's pseudo-window, whose
// visibility has not always followed the real window.
bool StartedHidden() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
}

}  // namespace

bool OwnsConsoleWindow() {
    DWORD processes[2];
    ConsoleFacts facts;
    facts.consoleProcessCount = GetConsoleProcessList(processes, 2);
    facts.inputIsConsole = IsConsoleHandle(STD_INPUT_HANDLE);
    facts.outputIsConsole = IsConsoleHandle(STD_OUTPUT_HANDLE);
    facts.startedHidden = StartedHidden();
    return ShouldPauseBeforeExit(facts);
}

void WaitForKeyPress() {
    FlushOutput();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    // Keys pressed while the program ran do not count.
    FlushConsoleInputBuffer(input);
    for (;;) {
        INPUT_RECORD record;
        DWORD read = 0;
        // Fails at once when input is not a console: nothing to wait for.
        if (!ReadConsoleInputW(input, &record, 1, &read) || read == 0) {
            return;
        }
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            return;
        }
    }
}

}  // namespace platform

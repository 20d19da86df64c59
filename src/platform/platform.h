// The platform calls Marovendel makes besides the registry: administrator
// membership, console output, the executable's directory, files, the
// environment and the shell. On Windows win32_console.cpp, win32_files.cpp,
// win32_system.cpp and win32_shell.cpp implement them; tests link a stand-in
// instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/folder_access.h"
#include "platform/windows_version.h"

namespace platform {

// Whether the caller's token holds the built-in Administrators group.
bool IsMemberOfAdministrators();

// Queues text for standard output. It goes out in large pieces, in order,
// and whatever is still queued at FlushOutput.
void WriteOutput(const std::wstring& text);
void FlushOutput();

// Writes text to standard error at once, after what is queued for standard
// output: warnings that leave standard output as it would be without them.
void WriteError(const std::wstring& text);

// Flushes standard output when it goes out of scope, so that every way out of
// the function that holds it delivers what was printed.
class FlushOutputOnExit {
public:
    FlushOutputOnExit() = default;
    ~FlushOutputOnExit() { FlushOutput(); }
    FlushOutputOnExit(const FlushOutputOnExit&) = delete;
    FlushOutputOnExit& operator=(const FlushOutputOnExit&) = delete;
};

// The directory of the running executable, without a trailing backslash.
bool GetExecutableDirectory(std::wstring& directory);

// Longest path, in UTF-16 characters without terminator, that the file
// functions accept.
constexpr std::size_t kMaxPathChars = 259;

// An open file. Move-only; a file still open when its handle goes away is
// closed without a report, so callers that care call CloseFile.
class File {
public:
    File() = default;
    explicit File(std::uintptr_t native) : native_(native) {}
    ~File() { Discard(); }
    File(File&& other) noexcept : native_(other.Release()) {}
    File& operator=(File&& other) noexcept {
        if (this != &other) {
            Discard();
            native_ = other.Release();
        }
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const { return native_ != 0; }
    std::uintptr_t Native() const { return native_; }
    std::uintptr_t Release() {
        std::uintptr_t n = native_;
        native_ = 0;
        return n;
    }

private:
    void Discard();
    std::uintptr_t native_ = 0;
};

// Creates the file, replacing any file of that name, for writing.
bool CreateFileForWriting(const std::wstring& path, File& out);
// Writes all of bytes; false when any of them could not be written.
bool WriteToFile(File& file, const void* bytes, std::size_t count);
// Flushes and closes; false when the data may not have reached the file.
bool CloseFile(File& file);
// Moves from over to, replacing to, in one step, written through to the disk.
bool MoveFileOver(const std::wstring& from, const std::wstring& to);
// Moves from to the name to, written through to the disk, when no file has
// that name; false, with both left as they were, when one has.
bool MoveFileToNewName(const std::wstring& from, const std::wstring& to);
// The whole contents of an existing file; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes);
bool RemoveFile(const std::wstring& path);

// Tells the shell that file and protocol associations changed, and returns
// once the notice is delivered, so before the process exits.
void NotifyAssociationsChanged();

// Asks the shell to open uri (ShellExecuteExW, verb open); false when it
// refuses.
bool OpenWithShell(const std::wstring& uri);

// Opens Control Panel's Default Programs page for a registered application
// (IApplicationAssociationRegistrationUI::LaunchAdvancedAssociationUI, the
// way of Windows Vista to 8); false when the shell cannot.
bool OpenDefaultPrograms(const std::wstring& applicationName);

// text with its %NAME% environment variables replaced, as
// ExpandEnvironmentStringsW does; unknown names stay as written. text itself
// when it cannot be expanded. Under WOW64 the names mean what they mean to
// the 64-bit shell that starts a command (native_view.h).
std::wstring ExpandEnvironment(const std::wstring& text);

// Whether path names an existing file; a directory is not one. Under WOW64
// System32 is the real one, as the 64-bit shell sees it.
bool IsExistingFile(const std::wstring& path);

// What kind of drive a root (C:\ or \\server\share\ with its last
// backslash) is, as GetDriveTypeW tells it.
enum class DriveType { Unknown, Fixed, Removable, Network, Other };
DriveType QueryDriveType(const std::wstring& root);

// The letters of the drives that exist now, A to Z in order, as
// GetLogicalDrives reports them ("CEF"); empty when it cannot tell.
std::wstring LogicalDriveLetters();

// Makes this thread's file calls on a drive without its medium fail at once
// instead of asking for the medium in a dialog (SetThreadErrorMode with
// SEM_FAILCRITICALERRORS); returns the mode it replaced.
std::uint32_t BeginQuietDriveErrors();
// Gives this thread back the mode BeginQuietDriveErrors replaced.
void EndQuietDriveErrors(std::uint32_t previous);

// Quiet drive errors for as long as it lives, on every way out.
class QuietDriveErrors {
public:
    QuietDriveErrors() : previous_(BeginQuietDriveErrors()) {}
    ~QuietDriveErrors() { EndQuietDriveErrors(previous_); }
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

private:
    std::uint32_t previous_;
};

// The owner and access-control list of a file or folder (a drive's root
// with its backslash); false when they cannot be read.
bool ReadObjectSecurity(const std::wstring& path, ObjectSecurity& out);

// Which of sids are members of the Administrators group, directly or through
// other groups, as this machine answers; one whose lookup fails is not.
std::set<std::wstring> AdministratorsAmong(const std::vector<std::wstring>& sids);

// The SID of the user this process runs as; empty when it cannot be read.
std::wstring CurrentUserSid();

// The account sid names, as DOMAIN\name; the SID itself when unknown.
std::wstring AccountName(const std::wstring& sid);

// What a dropped file needs. Each answers from the file system and the
// shell; none changes anything.

// path made full against the current folder (GetFullPathNameW); path itself
// when that fails.
std::wstring FullPath(const std::wstring& path);

// The names of the files, not folders, in directory that match pattern (*
// and ? as the file system matches them, ignoring case).
std::vector<std::wstring> FindFiles(const std::wstring& directory, const std::wstring& pattern);

// The names of the folders in directory that match pattern, "." and ".."
// left out: where a browser's installer layout keeps its version folder.
std::vector<std::wstring> FindFolders(const std::wstring& directory, const std::wstring& pattern);

// bytes as text in the ANSI code page, as programs that read an .ini file
// without a byte-order mark take it (MultiByteToWideChar with CP_ACP).
std::wstring AnsiText(const std::vector<std::uint8_t>& bytes);

// Whether path names the running executable itself.
bool IsRunningExecutable(const std::wstring& path);

// The name a program's version record gives it: FileDescription, else
// ProductName, looked up in the first translation the record lists, then in
// U.S. English. Empty when the program has no such record or name.
std::wstring ProgramDisplayName(const std::wstring& path);

// What a shell link (.lnk) starts: its target program, its arguments and the
// folder it starts it in.
struct Shortcut {
    std::wstring target;
    std::wstring arguments;
    std::wstring workingDirectory;  // "Start in"; empty when it names none
};
// False when path cannot be read as a shell link or names no target path.
bool ReadShortcut(const std::wstring& path, Shortcut& out);

// Whether path names an existing folder.
bool IsExistingDirectory(const std::wstring& path);

// Up to count bytes from the start of the file at path; fewer when the file
// is shorter, none when it cannot be read.
std::vector<std::uint8_t> ReadFileStart(const std::wstring& path, std::size_t count);

// The PE machine type of the processor this Windows runs on (0x014C x86,
// 0x8664 x64, 0xAA64 ARM64), whatever the running exe is built for; 0 when
// it cannot be told.
std::uint16_t NativeMachine();

// The version of Windows that runs, from RtlGetVersion, which no manifest
// changes; zeros when it cannot be told.
WindowsVersion QueryWindowsVersion();

// Reads one line typed in the console, without its line end, after flushing
// standard output. False when nothing more can be read.
bool ReadConsoleLine(std::wstring& line);

// The program that opens a URL scheme ("http") or a file type (".html") for
// the current user now, as Windows decides it (AL_EFFECTIVE).
struct CurrentDefault {
    bool known = false;
    std::wstring progId;  // when known
    std::wstring reason;  // when not: why it could not be asked
};
CurrentDefault QueryCurrentDefault(const std::wstring& association);

// Whether the first bytes of a program file are a windowed (GUI subsystem)
// program's. Reading the PE header lies above the platform, so the caller
// hands its reader in.
using WindowedProgramJudge = bool (*)(const std::vector<std::uint8_t>& fileStart);

// Whether a person can press a key in this process's console window: it is
// alone in a window that was made for it, as when it is started from Explorer
// by a double-click or a drop, its standard input and output are that
// console, it was not started hidden or without a window, and the program
// that started it is a windowed one of this session, as isWindowedProgram
// reads its file (console_window.h). Never true in a console, a script,
// a pipe, a file, a hidden start, or a start from cmd, PowerShell or any
// other console program. (Under Wine a program started from a Unix terminal
// has no parent to find, and this is false there.)
bool OwnsConsoleWindow(WindowedProgramJudge isWindowedProgram);
// From now on, wraps standard output at spaces to the width of its console
// window (line_wrap.h). Only for a window Marovendel owns: anywhere else the
// text must reach its reader byte for byte.
void WrapOutputToWindow();
// Flushes standard output, then waits until a key is pressed in the console.
// Returns at once when standard input is not a console.
void WaitForKeyPress();

}  // namespace platform

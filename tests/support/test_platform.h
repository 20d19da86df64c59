// The test stand-in for the platform seam: captured output (gathered in small
// pieces, as the real output is in large ones), a chosen administrator flag
// and executable directory, files held in memory, fault injection for file
// operations, a count of shell notifications, the environment, a record
// of what the shell was asked to open, standard error, drive types,
// security descriptors and accounts, and what a dropped file needs: a
// current folder, version records, shortcuts, current defaults and the
// console window.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/folder_access.h"
#include "platform/platform.h"

namespace test_platform {

enum class FileOp { Create, Write, Close, Move, Remove, Read };

// Back to a fresh machine: administrator, executable C:\Tools\Marovendel.exe,
// current folder C:\Users\User, no files, no output, no faults, no version
// records, shortcuts or defaults, and a console shared with its caller, so
// that nothing waits for a key.
void Reset();

void SetAdministrator(bool isAdmin);
// The running executable is Marovendel.exe in this directory. An empty
// directory makes GetExecutableDirectory fail.
void SetExecutableDirectory(const std::wstring& directory);

// The folder FullPath makes relative paths full against.
void SetCurrentFolder(const std::wstring& folder);

// Everything that reached standard output since Reset: text printed but not
// yet flushed is not in it.
const std::wstring& Output();
// Everything written to standard error since Reset.
const std::wstring& ErrorOutput();
// How many pieces the output reached it in.
std::size_t OutputPieceCount();

// The type QueryDriveType gives a root (C:\, ignoring case); every other
// drive is fixed.
void SetDriveType(const std::wstring& root, platform::DriveType type);
// The owner and list ReadObjectSecurity reads for a file or folder (ignoring
// case); it cannot read them for any other path.
void SetObjectSecurity(const std::wstring& path, const platform::ObjectSecurity& security);
// The SIDs AdministratorsAmong finds members of Administrators; none unless
// told.
void SetAdministratorSids(const std::set<std::wstring>& sids);
// CurrentUserSid gives S-1-5-21-1-2-3-1000.
// The name AccountName gives a SID; the SID itself unless told.
void SetAccountName(const std::wstring& sid, const std::wstring& name);

// The drive letters LogicalDriveLetters reports ("CEF"); C alone unless told.
void SetLogicalDriveLetters(const std::wstring& letters);
// Whether quiet drive errors are on now, and every path IsExistingFile was
// asked about while they were off, since Reset.
bool QuietDriveErrorsOn();
const std::vector<std::wstring>& FilesCheckedLoudly();

// Files by exact path.
void PutFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
std::optional<std::vector<std::uint8_t>> FileContents(const std::wstring& path);
std::vector<std::wstring> FilePaths();
std::size_t OpenFileCount();

// Makes file operations of kind op on a path containing pathPart fail (every
// time, or only the occurrence-th time).
void FailFileOperation(FileOp op, const std::wstring& pathPart, unsigned occurrence = 0);
// Makes the n-th file operation (counted from 1 since Reset) fail.
void FailFileOperationNumber(std::uint64_t n);
std::uint64_t FileOperationCount();

struct FileOperationRecord {
    FileOp op;
    std::wstring path;
    bool succeeded;
};
// Every file operation since the counters were last cleared, in order.
const std::vector<FileOperationRecord>& FileOperationLog();
// Keeps the files; forgets file faults, counters and the log.
void ClearFileFaultsAndCounters();
void ClearOutput();

int NotificationCount();

// Every URI the shell was asked to open since Reset, refused ones included.
const std::vector<std::wstring>& OpenedUris();
// Makes the shell refuse every URI from now on.
void RefuseToOpen();
// Makes Control Panel's Default Programs page fail to open from now on.
void RefuseDefaultPrograms();
// The names Default Programs was asked to show since Reset, failed ones too.
const std::vector<std::wstring>& DefaultProgramsOpened();

// An environment variable for ExpandEnvironment (names ignore ASCII case).
void SetEnvironment(const std::wstring& name, const std::wstring& value);

// The name ProgramDisplayName gives for the program at exactly this path.
void SetProgramDisplayName(const std::wstring& path, const std::wstring& name);

// A shell link file at path whose LinkInfo names target, with arguments
// (and workingDirectory). Other links are put as files of their own bytes
// (support/shell_link_file.h); ReadShortcut reads both as Windows does.
void PutShortcut(const std::wstring& path, const std::wstring& target,
                 const std::wstring& arguments, const std::wstring& workingDirectory = L"");

// What QueryCurrentDefault answers for association ("http", ".html"). One
// without a default set answers unknown, as Windows does when none is set.
void SetCurrentDefault(const std::wstring& association, const std::wstring& progId);
// Makes every QueryCurrentDefault answer unknown for this reason.
void FailCurrentDefault(const std::wstring& reason);
// The associations asked about since Reset, in order.
const std::vector<std::wstring>& QueriedDefaults();

// A folder at path (and the folders above it) for IsExistingDirectory and
// FindFolders.
void PutDirectory(const std::wstring& path);

// The processor NativeMachine reports: x64 (0x8664) unless told.
void SetNativeMachine(std::uint16_t machine);
// The version QueryWindowsVersion reports: 10.0.26100 (Windows 11 24H2)
// unless told.
void SetWindowsVersion(std::uint32_t major, std::uint32_t minor, std::uint32_t build);

// The lines ReadConsoleLine returns, in order, as if typed; after the last,
// it returns false as at the end of input.
void SetConsoleInput(const std::vector<std::wstring>& lines);
// How many times ReadConsoleLine was called since Reset.
int ConsoleReadCount();

// Whether the process owns its console window, as after a double-click.
void SetOwnsConsoleWindow(bool owns);
// The first bytes of the program that started the process. Once given, the
// caller's judge of windowed programs decides with them whether a window it
// owns is one to wait in; until then it is as if Explorer had started it.
void SetParentProgram(const std::vector<std::uint8_t>& fileStart);
// How many times WaitForKeyPress was called since Reset. It flushes the
// output as the real one does, and never waits.
int KeyPressWaitCount();

}  // namespace test_platform

// The test stand-in for the platform seam: captured output (gathered in small
// pieces, as the real output is in large ones), a chosen administrator flag
// and executable directory, files held in memory, fault injection for file
// operations, a count of shell notifications, the environment, and a record
// of what the shell was asked to open.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test_platform {

enum class FileOp { Create, Write, Close, Move, Remove };

// Back to a fresh machine: administrator, executable in C:\Tools, no files,
// no output, no faults.
void Reset();

void SetAdministrator(bool isAdmin);
// An empty directory makes GetExecutableDirectory fail.
void SetExecutableDirectory(const std::wstring& directory);

// Everything that reached standard output since Reset: text printed but not
// yet flushed is not in it.
const std::wstring& Output();
// How many pieces the output reached it in.
std::size_t OutputPieceCount();

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

// An environment variable for ExpandEnvironment (names ignore ASCII case).
void SetEnvironment(const std::wstring& name, const std::wstring& value);

}  // namespace test_platform

// The platform seam on Windows: the executable's own path, files written
// whole, and what the file system holds.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

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

std::vector<std::wstring> FindFolders(const std::wstring& directory, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const FileSearch search(directory + L"\\" + pattern, found);
    for (bool more = search.Started(); more; more = search.Next(found)) {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != L"." && name != L"..") {
            names.push_back(name);
        }
    }
    return names;
}

std::wstring AnsiText(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) {
        return std::wstring();
    }
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    const int count = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, data, count, nullptr, 0);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, data, count, &text[0], length);
    return text;
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

bool IsExistingDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::uint8_t> ReadFileStart(const std::wstring& path, std::size_t count) {
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    const File file(reinterpret_cast<std::uintptr_t>(handle));  // closes it
    std::vector<std::uint8_t> bytes(count);
    std::size_t total = 0;
    while (total < count) {
        DWORD read = 0;
        if (!ReadFile(handle, bytes.data() + total, static_cast<DWORD>(count - total), &read,
                      nullptr) ||
            read == 0) {
            break;
        }
        total += read;
    }
    bytes.resize(total);
    return bytes;
}

}  // namespace platform

// The process that started this one. The tool help snapshot names its id
// (PROCESSENTRY32W's th32ParentProcessID); ids are reused once a process
// has ended, so a process by that id that started after this one is not the
// parent. Its program file is named by QueryFullProcessImageNameW, which
// needs only PROCESS_QUERY_LIMITED_INFORMATION, and its session by
// ProcessIdToSessionId.
#include "platform/win32_parent.h"

#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include "platform/native_view.h"
#include "platform/platform.h"

namespace platform {

namespace {

// Closes a handle on every way out.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (IsValid()) {
            CloseHandle(handle_);
        }
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// The id of the process that created this one; 0 when it cannot be told.
DWORD ParentProcessId() {
    const OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) {
        return 0;
    }
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self) {
            return entry.th32ParentProcessID;
        }
    }
    return 0;
}

// When process started, in 100-nanosecond steps; 0 when it cannot be asked.
ULONGLONG CreationTime(HANDLE process) {
    FILETIME created = {};
    FILETIME exited = {};
    FILETIME kernel = {};
    FILETIME user = {};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool SameSession(DWORD process) {
    DWORD own = 0;
    DWORD other = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &own) &&
           ProcessIdToSessionId(process, &other) && own == other;
}

// The program file of process, as this process can open it: under WOW64 a
// 64-bit parent's System32 is reached as Sysnative.
std::wstring ImagePath(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, &path[0], &size)) {
        return std::wstring();
    }
    path.resize(size);
    BOOL wow64 = FALSE;
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64 && length > 0 && length <= MAX_PATH) {
        return WithNativeSystemDirectory(path, std::wstring(windows, length));
    }
    return path;
}

}  // namespace

ParentProcess FindParentProcess() {
    ParentProcess parent;
    const DWORD id = ParentProcessId();
    const OwnedHandle process(id == 0 ? nullptr
                                      : OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process.IsValid()) {
        return parent;
    }
    const ULONGLONG started = CreationTime(process.Get());
    const ULONGLONG ownStart = CreationTime(GetCurrentProcess());
    if (started == 0 || ownStart == 0 || started > ownStart) {
        return parent;  // the id now names a later process
    }
    parent.found = true;
    parent.sameSession = SameSession(id);
    const std::wstring image = ImagePath(process.Get());
    if (!image.empty()) {
        parent.imageStart = ReadFileStart(image, kParentImageStartBytes);
    }
    return parent;
}

}  // namespace platform

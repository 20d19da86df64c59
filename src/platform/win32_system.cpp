// The platform seam on Windows: the token, the environment and paths as the
// 64-bit shell sees them, drives and their access lists, and the processor.
// The calls into the shell are in win32_shell.cpp.
#include <windows.h>

#include <aclapi.h>

#include <vector>

#include "platform/native_view.h"
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

bool ReadObjectSecurity(const std::wstring& path, ObjectSecurity& out) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const LocalMemory held(descriptor);  // owner and dacl point into it
    out = ObjectSecurityOf(owner, dacl);
    return true;
}

namespace {

using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);

// The PE machine type of a processor architecture GetNativeSystemInfo names.
std::uint16_t MachineOfArchitecture(WORD architecture) {
    switch (architecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
        return IMAGE_FILE_MACHINE_I386;
    case PROCESSOR_ARCHITECTURE_AMD64:
        return IMAGE_FILE_MACHINE_AMD64;
    case PROCESSOR_ARCHITECTURE_ARM:
        return IMAGE_FILE_MACHINE_ARMNT;
    case 12:  // PROCESSOR_ARCHITECTURE_ARM64, missing from older headers
        return 0xAA64;
    default:
        return 0;
    }
}

}  // namespace

std::uint16_t NativeMachine() {
    // IsWow64Process2 (Windows 10 1709 and later) names the machine directly,
    // also for an x86 or x64 process emulated on ARM64, where
    // GetNativeSystemInfo answers with the emulated processor.
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const auto isWow64Process2 =
        kernel32 == nullptr
            ? nullptr
            : reinterpret_cast<IsWow64Process2Function>(
                  reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "IsWow64Process2")));
    USHORT process = 0;
    USHORT native = 0;
    if (isWow64Process2 != nullptr && isWow64Process2(GetCurrentProcess(), &process, &native)) {
        return native;
    }
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return MachineOfArchitecture(info.wProcessorArchitecture);
}

namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);

}  // namespace

WindowsVersion QueryWindowsVersion() {
    // GetVersionExW answers 6.2 to an exe whose manifest names no later
    // Windows; RtlGetVersion (ntdll, in every process) tells the truth.
    WindowsVersion version;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto getVersion =
        ntdll == nullptr ? nullptr
                         : reinterpret_cast<RtlGetVersionFunction>(
                               reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (getVersion != nullptr && getVersion(&info) == 0) {  // STATUS_SUCCESS
        version.major = info.dwMajorVersion;
        version.minor = info.dwMinorVersion;
        version.build = info.dwBuildNumber;
    }
    return version;
}

}  // namespace platform

// The platform seam on Windows for what a dropped program is: folders, the
// start of a file, the processor Windows runs on, and typed console lines.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

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

bool ReadConsoleLine(std::wstring& line) {
    FlushOutput();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    line.clear();
    for (;;) {
        wchar_t buffer[256];
        DWORD read = 0;
        // Fails at once when input is not a console.
        if (!ReadConsoleW(input, buffer, 256, &read, nullptr) || read == 0) {
            return !line.empty();
        }
        line.append(buffer, read);
        const std::size_t end = line.find_first_of(L"\r\n");
        if (end != std::wstring::npos) {
            line.resize(end);
            return true;
        }
    }
}

}  // namespace platform

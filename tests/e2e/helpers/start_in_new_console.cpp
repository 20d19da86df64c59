// Starts a console program as Explorer does for a double-click: from a
// windowed process, in a console window of its own, with that console as
// its standard handles. Waits for it and exits with its exit status.
//   start_in_new_console <program> [<arguments>]
#include <windows.h>

#include <string>

extern "C" int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 120;
    }
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    for (int i = 2; i < argc; ++i) {
        commandLine += L" \"" + std::wstring(argv[i]) + L"\"";
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(argv[1], &commandLine[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                        nullptr, nullptr, &startup, &process)) {
        return 121;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 122;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

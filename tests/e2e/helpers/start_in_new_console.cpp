// Starts a console program as Explorer does for a double-click: from a
// windowed process, in a console window of its own, with that console as
// its standard handles. Waits for it and exits with its exit status. With
// --no-window first, the console it gets has no window (CREATE_NO_WINDOW),
// as a script's process start with CreateNoWindow gives it.
//   start_in_new_console [--no-window] <program> [<arguments>]
#include <windows.h>

#include <string>

extern "C" int wmain(int argc, wchar_t** argv) {
    const bool noWindow = argc > 1 && std::wstring(argv[1]) == L"--no-window";
    const int first = noWindow ? 2 : 1;
    if (argc <= first) {
        return 120;
    }
    std::wstring commandLine = L"\"" + std::wstring(argv[first]) + L"\"";
    for (int i = first + 1; i < argc; ++i) {
        commandLine += L" \"" + std::wstring(argv[i]) + L"\"";
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const DWORD flags = noWindow ? CREATE_NO_WINDOW : CREATE_NEW_CONSOLE;
    if (!CreateProcessW(argv[first], &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &process)) {
        return 121;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 122;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

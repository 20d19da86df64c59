// Starts a console program as Explorer does for a double-click: from a
// windowed process, in a console window of its own, with that console as
// its standard handles. Waits for it and exits with its exit status. With
// --no-window first, the console it gets has no window (CREATE_NO_WINDOW),
// as a script's process start with CreateNoWindow gives it. With
// --service-station first, it runs on a window station of its own that no
// one sees, as every process a service starts does.
//   start_in_new_console [--no-window | --service-station] <program> [<arguments>]
#include <windows.h>

#include <string>

namespace {

// A new window station with its desktop, as "station\desktop" for
// STARTUPINFOW's lpDesktop; empty when it cannot be made. Both stay until
// this process exits.
std::wstring NoninteractiveDesktop() {
    const HWINSTA station =
        CreateWindowStationW(L"MarovendelService", 0, WINSTA_ALL_ACCESS, nullptr);
    const HWINSTA own = GetProcessWindowStation();
    if (station == nullptr || !SetProcessWindowStation(station)) {
        return std::wstring();
    }
    const HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    return desktop == nullptr ? std::wstring() : L"MarovendelService\\Default";
}

}  // namespace

extern "C" int wmain(int argc, wchar_t** argv) {
    const std::wstring option = argc > 1 ? argv[1] : L"";
    const bool noWindow = option == L"--no-window";
    const bool serviceStation = option == L"--service-station";
    const int first = noWindow || serviceStation ? 2 : 1;
    if (argc <= first) {
        return 120;
    }
    std::wstring commandLine = L"\"" + std::wstring(argv[first]) + L"\"";
    for (int i = first + 1; i < argc; ++i) {
        commandLine += L" \"" + std::wstring(argv[i]) + L"\"";
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring desktop = serviceStation ? NoninteractiveDesktop() : L"";
    if (serviceStation && desktop.empty()) {
        return 123;
    }
    startup.lpDesktop = serviceStation ? &desktop[0] : nullptr;
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

// Writes what the console window of a running program shows, as a person
// reads it: attaches to the console of the first process with that exe name
// and writes its width, then each row up to the cursor's, blanks at the end
// of a row dropped, to a UTF-16LE file.
//   dump_console <exe name> <output file>
// Exits 0 when the file was written, 1 when there was no such console.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

DWORD ProcessNamed(const wchar_t* name) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found == 0;
         more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, name) == 0) {
            found = entry.th32ProcessID;
        }
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

extern "C" int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        return 2;
    }
    const DWORD process = ProcessNamed(argv[1]);
    FreeConsole();
    if (process == 0 || !AttachConsole(process)) {
        return 1;
    }
    const HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (screen == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(screen, &info)) {
        return 1;
    }
    std::wstring text = L"width " + std::to_wstring(info.dwSize.X) + L"\n";
    std::vector<wchar_t> row(static_cast<std::size_t>(info.dwSize.X));
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        DWORD read = 0;
        ReadConsoleOutputCharacterW(screen, row.data(), static_cast<DWORD>(row.size()), {0, y}, &read);
        std::wstring line(row.data(), read);
        line.erase(line.find_last_not_of(L' ') + 1);
        text += line + L"\n";
    }
    CloseHandle(screen);
    FreeConsole();
    FILE* file = _wfopen(argv[2], L"wb");
    if (file == nullptr) {
        return 1;
    }
    std::fwrite(text.data(), sizeof(wchar_t), text.size(), file);
    std::fclose(file);
    return 0;
}

// Opens a URL through a registered class, as the shell does when the user
// clicks a link: ShellExecuteExW with SEE_MASK_CLASSNAME. Waits for the
// started program and exits 0 when it could be started.
//   open_with_class <ClassName> <URL>
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

extern "C" int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: open_with_class <ClassName> <URL>\n");
        return 2;
    }
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_CLASSNAME | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpClass = argv[1];
    info.lpFile = argv[2];
    info.lpVerb = L"open";
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) {
        std::fwprintf(stderr, L"ShellExecuteExW failed: %lu\n", GetLastError());
        return 1;
    }
    if (info.hProcess != nullptr) {
        WaitForSingleObject(info.hProcess, 30000);
        CloseHandle(info.hProcess);
    }
    return 0;
}

// Loading system DLLs by full path.
#include "platform/system_library.h"

#include <string>

namespace platform {

HMODULE LoadSystemLibrary(const wchar_t* file) {
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::wstring path = std::wstring(directory, length) + L"\\" + file;
    // The DLL's own imports are then looked up in its folder first too.
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace platform

// System DLLs that only some commands need (shell32, ole32, version,
// netapi32, user32), loaded on first use instead of at start-up, and always by full
// path from the system directory. A bare name would be looked up beside the exe first, and
// a DLL that is not one of Windows' KnownDLLs (version.dll) could then be a
// planted copy in the user's Downloads folder.
#pragma once

#include <windows.h>

namespace platform {

// The DLL named file (L"shell32.dll"), loaded from the system directory, or
// null when it cannot be. It stays loaded until the process ends.
HMODULE LoadSystemLibrary(const wchar_t* file);

// The function name of the system DLL file as a pointer of type Function, or
// null.
template <typename Function>
Function SystemFunction(const wchar_t* file, const char* name) {
    const HMODULE module = LoadSystemLibrary(file);
    if (module == nullptr) {
        return nullptr;
    }
    // GetProcAddress returns every function as FARPROC; the caller names the
    // real type.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace platform

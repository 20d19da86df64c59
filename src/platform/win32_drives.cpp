// The platform seam on Windows: which drive letters exist, and drives asked
// about without a dialog for one whose medium is out.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

std::wstring LogicalDriveLetters() {
    const DWORD drives = GetLogicalDrives();
    std::wstring letters;
    for (int bit = 0; bit < 26; ++bit) {
        if ((drives & (DWORD{1} << bit)) != 0) {
            letters += static_cast<wchar_t>(L'A' + bit);
        }
    }
    return letters;
}

std::uint32_t BeginQuietDriveErrors() {
    DWORD previous = 0;
    // Keeps whatever else the thread asked for, and adds the one that stops
    // the "insert a disk" dialog of an empty card reader or drive.
    if (!SetThreadErrorMode(GetThreadErrorMode() | SEM_FAILCRITICALERRORS, &previous)) {
        return GetThreadErrorMode();
    }
    return previous;
}

void EndQuietDriveErrors(std::uint32_t previous) {
    SetThreadErrorMode(previous, nullptr);
}

}  // namespace platform

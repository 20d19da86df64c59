// Paths and shortcuts as the 64-bit shell sees them. On 64-bit Windows
// Marovendel, a 32-bit program, runs under WOW64, where %ProgramFiles% means
// Program Files (x86), System32 is SysWOW64 and a shortcut's target is read
// with the same adjustment. A link is opened by 64-bit Explorer, so whatever
// a command or a shortcut names is looked for where 64-bit Windows finds it
// (The Old New Thing, 2016-02-29 and 2023-02-08, on the shortcut's stored
// target and its environment block).
// These rules are pure; the Windows platform applies them under WOW64 only.
#pragma once

#include <string>

#include "platform/shell_link.h"

namespace platform {

// text with %ProgramFiles% and %CommonProgramFiles% (any case) written as
// %ProgramW6432% and %CommonProgramW6432%, the names that keep their 64-bit
// meaning under WOW64. %ProgramFiles(x86)% and every other name stay.
std::wstring WithNativeVariables(const std::wstring& text);

// path with a leading <windowsDirectory>\System32 (any case) written as
// <windowsDirectory>\Sysnative, the name under which WOW64 shows a 32-bit
// process the real System32. Any other path is returned as it is.
std::wstring WithNativeSystemDirectory(const std::wstring& path,
                                       const std::wstring& windowsDirectory);

// The platform's answers a shortcut's target is looked up with.
struct ShortcutLookups {
    bool (*exists)(const std::wstring& path);          // an existing file
    std::wstring (*expand)(const std::wstring& text);  // %variables%, the 64-bit way
    std::wstring (*fullPath)(const std::wstring& path);
};

// The program a shortcut at linkPath starts for 64-bit Explorer, from what
// its file stores, the first that names an existing file:
// - the LinkInfo path, the target as it was when the link was saved;
// - the environment block's path expanded the 64-bit way, which a 64-bit
//   writer's %ProgramFiles% needs, while a 32-bit writer's names Program
//   Files (x86) and so comes only after the LinkInfo path;
// - the relative path from the link's folder, which finds a program on a
//   stick whose drive letter changed.
// When none exists, the first of them the link holds; empty when it holds
// none, and then only the shell can read its target.
std::wstring NativeShortcutTarget(const shell_link::Link& link, const std::wstring& linkPath,
                                  const ShortcutLookups& lookups);

}  // namespace platform

// Paths and shortcuts as the 64-bit shell sees them. On 64-bit Windows
// Marovendel, a 32-bit program, runs under WOW64, where %ProgramFiles% means
// Program Files (x86), System32 is SysWOW64 and a shortcut's target is read
// with the same adjustment. A link is opened by 64-bit Explorer, so whatever
// a command or a shortcut names is looked for where 64-bit Windows finds it.
// These rules are pure; the Windows platform applies them under WOW64 only.
#pragma once

#include <string>

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

// The program a shortcut starts for 64-bit Explorer. rawTarget is the target
// as stored (IShellLink's SLGP_RAWPATH: environment variables unexpanded,
// from the link's environment-variable data block when it has one);
// adjustedTarget is the target as a 32-bit reader gets it, which under WOW64
// may have %ProgramFiles% read as Program Files (x86). expandedRaw is
// rawTarget expanded the 64-bit way. The raw target wins when it names an
// existing file (exists tells); otherwise the adjusted reading stands.
std::wstring NativeShortcutTarget(const std::wstring& expandedRaw, bool expandedRawExists,
                                  const std::wstring& adjustedTarget);

}  // namespace platform

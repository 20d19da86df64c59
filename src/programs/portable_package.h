// The layouts of portable browsers as they are unpacked: packages whose
// launcher starts the browser inside them with the package's profile, raw
// builds whose own exe needs a flag to find the profile beside it, and the
// browser family whose command-line rules a program follows. All are
// tables; each answer comes from the file system alone.
#pragma once

#include <optional>
#include <string>

namespace portable_package {

// The launcher of the package that program (a full path) lies inside: the
// one file in the package folder that a layout's launcher pattern matches,
// when it also claims program (Launches). Its full path, or nothing.
std::optional<std::wstring> LauncherOf(const std::wstring& program);

// Whether launcher is known to start inner (both full paths). A
// PortableApps.com launcher's own App\AppInfo\Launcher\<name>.ini decides
// when it exists: the program it names for a start with parameters. Without
// one, the launcher's name must name inner's folder (FooPortable.exe:
// App\Foo\ or App\Foo64\; Foo-Portable.exe: Foo\) or, where the layout
// fixes the folder's name, inner itself (foo-portable.exe: app\foo.exe;
// foo.exe: bin\foo.exe). Anything else is no certain claim.
bool Launches(const std::wstring& launcher, const std::wstring& inner);

// The browser families whose command lines can keep a link one argument.
enum class BrowserFamily {
    Other,
    Chromium,  // a *_elf.dll beside the exe, or in its one version folder (a.b.c.d)
    Firefox,   // xul.dll and omni.ja beside the exe
};
// The family whose rules apply to what follows program (a full path) on its
// command line: its own, or for a launcher known to pass its parameters on
// last, that of the Chromium browser it starts. That is a PortableApps.com
// launcher whose .ini names a Chromium browser and whose user's <name>.ini
// beside it adds no AdditionalParameters after them. Any other program is
// Other.
BrowserFamily CommandLineFamily(const std::wstring& program);

// The flag that makes a raw build of a browser use the one profile folder
// found beside it or one level up: --user-data-dir="…" for the Chromium
// family (chrome_elf.dll beside the exe), -profile "…" for the Firefox family
// (xul.dll and omni.ja beside it).
struct ProfileFlag {
    std::wstring argument;  // the flag with the folder's full path
    std::wstring folder;
};
// Nothing when program is of neither family, when no profile folder or more
// than one is found, or when arguments already carry the family's flag.
std::optional<ProfileFlag> ProfileFlagFor(const std::wstring& program, const std::wstring& arguments);

}  // namespace portable_package

// The layouts of portable browsers as they are unpacked: packages whose
// launcher starts the browser inside them with the package's profile, and
// raw builds whose own exe needs a flag to find the profile beside it. Both
// are tables; each answer comes from the file system alone.
#pragma once

#include <optional>
#include <string>

namespace portable_package {

// The launcher of the package that program (a full path) lies inside, by
// the first layout that finds exactly one: its full path, or nothing.
std::optional<std::wstring> LauncherOf(const std::wstring& program);

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

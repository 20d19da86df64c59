// Marovendel's commands: what each takes and how it ended, grouped by the
// file that runs it. Each stands on the registration's layout and on the
// registry and platform layers; none calls the command front end.
#pragma once

#include <optional>
#include <string>

#include "registration/layout.h"
#include "registry/registry.h"

using registry::RootKey;

// How a command ended; wmain turns it into the exit status.
enum class Outcome {
    Done,     // 0
    Refused,  // 1: usage, or nothing to work on
    Failed,   // 2: it ran and found or met a failure
};

// register.cpp
struct RegistrationOptions {
    // Also every other type a browser opens, and Explorer's Open with list
    // for each file type (the parts of the layout marked Extent::All).
    bool all = false;
    // What the icons hold, when not the path itself: the program alone, for a
    // path that carries a shortcut's arguments after it.
    std::wstring icon;
    // The browser family whose form the class's command passes the link in;
    // found from the program the path starts when not given.
    std::optional<portable_package::BrowserFamily> family;
};
// Writes the whole registration, then reads its http association back;
// Done when every stage succeeded.
Outcome RegisterBrowser(RootKey root, const registration::ClientName& clientName,
                        const std::wstring& executablePath,
                        const RegistrationOptions& options = RegistrationOptions());
// A line on standard error when the program a console registration names
// does not exist (paths on a network server are not asked about).
void WarnIfProgramIsMissing(const std::wstring& executablePath);
// The one-line readback of a registration's http association.
void PrintCapabilities(RootKey root, const registration::ClientName& clientName);

// list.cpp
// Lists the one root scope names, or both when it names none.
Outcome ListBrowsers(std::optional<RootKey> scope);

// delete.cpp
struct DeleteOptions {
    bool noBackup = false;     // remove without writing <BrowserName>.reg first
    // Also back up and remove the class Software\Classes\<BrowserName>URL and
    // its values in the OpenWithProgids keys of the file types.
    bool all = false;
};
// Backs up (unless noBackup) and removes a registration; Done when every
// step succeeded.
Outcome DeleteBrowser(RootKey root, const registration::ClientName& clientName,
                      const DeleteOptions& options);
// The file DeleteBrowser would write its backup to now: the name the backup
// file rule gives the bytes it would hold. A backup that cannot be read whole
// is named as the failure line would name it.
std::wstring RemovalBackupPath(RootKey root, const registration::ClientName& clientName,
                               const DeleteOptions& options);

// settings.cpp
// Opens the client's own page in Settings > Default apps.
Outcome OpenDefaultAppsSettings(RootKey root, const registration::ClientName& clientName);

// check.cpp
// Reads a registration, whoever wrote it, the way Windows uses it, and
// prints every part that would keep it out of Default apps or keep a link
// from opening.
Outcome CheckBrowser(RootKey root, const registration::ClientName& clientName);

// defaults.cpp
struct DefaultsOptions {
    std::wstring file;  // where to write it; empty: beside Marovendel.exe
    bool once = false;  // applied once, as a suggestion the user may change
};
// Writes the default-associations file of a registration under HKLM, whose
// associations check finds sound, then prints how to apply it.
Outcome WriteDefaultAssociations(RootKey root, const registration::ClientName& clientName,
                                 const DefaultsOptions& options);

// drop.cpp
// Registers the program dropped onto Marovendel.exe (or the one its shortcut
// starts) for the current user, then opens its Default apps page.
// marovendel is how the command line named Marovendel.exe.
Outcome RegisterDroppedFile(const std::wstring& droppedPath, const wchar_t* marovendel);

// repair.cpp
struct RepairOptions {
    bool noBackup = false;  // rewrite without writing <BrowserName>.reg first
};
// Points every registration under root whose programs have gone at the same
// paths on the drive where they are now, after a backup of each (unless
// noBackup), and names each one it leaves broken; Done when none is left so.
Outcome RepairBrowsers(RootKey root, const RepairOptions& options);

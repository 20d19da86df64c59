// The registry-editor backup of a registration, written beside
// Marovendel.exe before anything of it is deleted or rewritten: removal and
// repair write it the same way, under the same names.
#pragma once

#include <string>
#include <vector>

#include "registration/layout.h"
#include "registry/registry.h"

namespace registration {

// What a backup holds besides the client's key tree and its
// RegisteredApplications value.
struct BackupExtent {
    std::vector<std::wstring> trees;          // further key trees, in order
    std::vector<std::wstring> openWithPaths;  // OpenWithProgids keys that may name progId
    std::wstring progId;                      // whose value in each of them is kept
    // False when part of what was meant to be backed up could not be found,
    // which fails the backup.
    bool found = true;
};

struct Backup {
    bool written = false;  // false: nothing may be changed
    std::wstring path;     // where it is; empty when there was nothing to back up
};

// Writes the backup as <name>.reg beside the executable, never over an
// earlier one (backup_file.h), with every value exactly as stored, so that
// `reg import` of it restores them. Prints each failure's line; the line
// that names the file only when announce is set.
Backup BackUpRegistration(registry::RootKey root, const ClientName& clientName,
                          const BackupExtent& extent, bool announce);

// The file BackUpRegistration would write now: the name the backup file rule
// gives the bytes it would hold, which a prompt names before anything
// changes. A backup that cannot be read whole is named as its failure line
// would name it. Prints nothing.
std::wstring BackupFileFor(registry::RootKey root, const ClientName& clientName,
                           const BackupExtent& extent);

}  // namespace registration

// A folder's access-control list as Windows stores it, read into the form
// the decision in folder_access.h takes.
#pragma once

#include <windows.h>

#include "platform/folder_access.h"

namespace platform {

// dacl's allowed and denied entries with the groups they name; null stays
// the null list that grants everything. Entries of other kinds are left out.
FolderDacl FolderDaclOf(const ACL* dacl);

}  // namespace platform

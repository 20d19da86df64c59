// A file's or folder's security descriptor as Windows stores it, read into
// the form the decision in folder_access.h takes.
#pragma once

#include <windows.h>

#include <string>

#include "platform/folder_access.h"

namespace platform {

// The SID's string form ("S-1-5-32-545"); empty when it cannot be made.
std::wstring SidString(PSID sid);

// owner (null when unknown) and dacl's allowed and denied entries with the
// principals they name; a null dacl stays the null list that grants
// everything. Entries of other kinds are left out.
ObjectSecurity ObjectSecurityOf(PSID owner, const ACL* dacl);

}  // namespace platform

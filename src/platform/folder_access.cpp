// Whether standard users could change what lies in a folder.
#include "platform/folder_access.h"

#include <map>

namespace platform {

bool GrantsStandardUsersChange(const FolderDacl& dacl) {
    if (dacl.isNull) {
        return true;
    }
    std::map<Trustee, std::uint32_t> denied;
    for (const FolderAce& ace : dacl.aces) {
        if (ace.inheritOnly || ace.trustee == Trustee::Other) {
            continue;
        }
        if (!ace.allows) {
            denied[ace.trustee] |= ace.mask;
            continue;
        }
        const std::uint32_t granted =
            ace.mask & ~(denied[ace.trustee] | denied[Trustee::Everyone]);
        if ((granted & kChangeRights) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace platform

// A file's or folder's security descriptor as Windows stores it, read into
// the form the decision in folder_access.h takes.
#include "platform/win32_acl.h"

#include <sddl.h>

namespace platform {

std::wstring SidString(PSID sid) {
    wchar_t* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) {
        return std::wstring();
    }
    const std::wstring out = text;
    LocalFree(text);
    return out;
}

ObjectSecurity ObjectSecurityOf(PSID owner, const ACL* dacl) {
    ObjectSecurity out;
    out.owner = SidString(owner);
    out.daclIsNull = dacl == nullptr;
    for (DWORD index = 0; dacl != nullptr && index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), index, &entry)) {
            continue;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // Allowed and denied entries share one layout: header, mask, SID; a
        // conditional (callback) one has its condition after them. Its
        // condition may hold, so a conditional grant counts as a grant, and
        // a conditional denial, which may not, is left out.
        const bool allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
                            header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        if (!allows && header->AceType != ACCESS_DENIED_ACE_TYPE) {
            continue;
        }
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        AccessEntry accessEntry;
        accessEntry.allows = allows;
        accessEntry.sid = SidString(&ace->SidStart);
        accessEntry.mask = ace->Mask;
        accessEntry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        out.entries.push_back(accessEntry);
    }
    return out;
}

}  // namespace platform

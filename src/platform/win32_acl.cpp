// A folder's access-control list as Windows stores it, read into the form
// the decision in folder_access.h takes.
#include "platform/win32_acl.h"

namespace platform {

namespace {

struct KnownGroup {
    WELL_KNOWN_SID_TYPE type;
    Trustee trustee;
};

constexpr KnownGroup kStandardUserGroups[] = {
    {WinWorldSid, Trustee::Everyone},
    {WinAuthenticatedUserSid, Trustee::AuthenticatedUsers},
    {WinBuiltinUsersSid, Trustee::Users},
    {WinInteractiveSid, Trustee::Interactive},
};

Trustee TrusteeOf(PSID sid) {
    for (const KnownGroup& group : kStandardUserGroups) {
        BYTE known[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof known;
        if (CreateWellKnownSid(group.type, nullptr, known, &size) && EqualSid(sid, known)) {
            return group.trustee;
        }
    }
    return Trustee::Other;
}

}  // namespace

FolderDacl FolderDaclOf(const ACL* dacl) {
    FolderDacl out;
    out.isNull = dacl == nullptr;
    for (DWORD index = 0; dacl != nullptr && index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), index, &entry)) {
            continue;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // Allowed and denied entries share one layout: header, mask, SID.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) {
            continue;
        }
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        FolderAce folderAce;
        folderAce.allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
        folderAce.trustee = TrusteeOf(&ace->SidStart);
        folderAce.mask = ace->Mask;
        folderAce.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        out.aces.push_back(folderAce);
    }
    return out;
}

}  // namespace platform

// Who besides administrators could change a program's folder: security
// descriptors as Windows stores them, built from their SDDL form, read and
// decided.
#include <windows.h>

#include <sddl.h>

#include <vector>

#include <gtest/gtest.h>

#include "platform/win32_acl.h"

namespace {

const std::wstring kUsers = L"standard users";

// Who WhoCouldReplace names when folder holds the program, whose own list
// cannot be read; empty for nobody.
std::wstring WhoCouldChangeFolder(const platform::ObjectSecurity& folder) {
    const std::optional<platform::Changer> changer =
        platform::WhoCouldReplace({std::nullopt, folder}, {L"S-1-5-21-1-2-3-500"});
    return !changer ? L"" : changer->standardUsers ? kUsers : changer->sid;
}

TEST(Win32AclTest, BuiltSecurityDescriptorsAreReadAndDecided) {
    const struct {
        const wchar_t* sddl;
        std::wstring who;
    } cases[] = {
        // Program Files: TrustedInstaller and Administrators change it, Users read.
        {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
         L"D:P(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         L"(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)",
         L""},
        // A drive's root: users add folders; they modify only what the folders hold.
        {L"D:(A;OICI;FA;;;BA)(A;;0x4;;;AU)(A;OICIIO;SDGXGWGR;;;AU)(A;OICI;0x1200a9;;;BU)", L""},
        {L"D:(A;OICI;0x1301bf;;;AU)", kUsers},
        {L"D:(A;;0x2;;;BU)", kUsers},
        {L"D:(A;;WD;;;WD)", kUsers},
        {L"D:(A;;WO;;;IU)", kUsers},
        // A user with Full control, Domain Users with Modify, an owner: each
        // may change it unless an administrator.
        {L"D:(A;;FA;;;S-1-5-21-1-2-3-1001)", L"S-1-5-21-1-2-3-1001"},
        {L"D:(A;OICI;0x1301bf;;;S-1-5-21-1-2-3-513)", L"S-1-5-21-1-2-3-513"},
        {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)", L"S-1-5-21-1-2-3-1001"},
        {L"O:S-1-5-21-1-2-3-500D:(A;;FA;;;S-1-5-21-1-2-3-500)", L""},
        {L"O:BAD:(A;;FA;;;SY)(A;;FA;;;CO)", L""},
        {L"D:(A;;GW;;;BU)", kUsers},
        {L"D:(A;OICIIO;FA;;;BU)", L""},
        // Windows reads the list in order: what is denied first stays denied.
        {L"D:(D;;0x1301bf;;;WD)(A;;0x1301bf;;;BU)", L""},
        {L"D:(D;;0x1301bf;;;BU)(A;;0x1301bf;;;BU)", L""},
        {L"D:(A;;0x1301bf;;;BU)(D;;0x1301bf;;;BU)", kUsers},
        {L"D:(D;;0x1301bf;;;BU)(A;;0x1301bf;;;AU)", kUsers},
        {L"D:", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.sddl)));
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            c.sddl, SDDL_REVISION_1, &descriptor, nullptr));
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        PSID owner = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
        ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
        EXPECT_EQ(WhoCouldChangeFolder(platform::ObjectSecurityOf(owner, dacl)), c.who);
        LocalFree(descriptor);
    }
    // A null list grants everyone everything.
    EXPECT_EQ(WhoCouldChangeFolder(platform::ObjectSecurityOf(nullptr, nullptr)), kUsers);
}

// A conditional entry (SDDL's XA, built by hand): Windows decides its
// condition at each access, so it may grant what it names.
TEST(Win32AclTest, AConditionalGrantCounts) {
    PSID users = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-32-545", &users));
    std::vector<BYTE> ace(sizeof(ACE_HEADER) + sizeof(ACCESS_MASK));
    const BYTE* sid = static_cast<const BYTE*>(users);
    ace.insert(ace.end(), sid, sid + GetLengthSid(users));
    ace.insert(ace.end(), {'a', 'r', 't', 'x'});  // where a condition starts
    auto* header = reinterpret_cast<ACE_HEADER*>(ace.data());
    header->AceType = ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    header->AceSize = static_cast<WORD>(ace.size());
    *reinterpret_cast<ACCESS_MASK*>(ace.data() + sizeof(ACE_HEADER)) = FILE_ALL_ACCESS;
    std::vector<BYTE> buffer(256);
    auto* acl = reinterpret_cast<ACL*>(buffer.data());
    ASSERT_TRUE(InitializeAcl(acl, static_cast<DWORD>(buffer.size()), ACL_REVISION_DS));
    ASSERT_TRUE(
        AddAce(acl, ACL_REVISION_DS, MAXDWORD, ace.data(), static_cast<DWORD>(ace.size())));
    EXPECT_EQ(WhoCouldChangeFolder(platform::ObjectSecurityOf(nullptr, acl)), kUsers);
    LocalFree(users);
}

}  // namespace

// Whether a folder's access list lets standard users change it: lists as
// Windows stores them, built from their SDDL form, read and decided.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include "platform/win32_acl.h"

namespace {

TEST(Win32AclTest, BuiltSecurityDescriptorsAreReadAndDecided) {
    const struct {
        const wchar_t* sddl;
        bool grants;
    } cases[] = {
        // Program Files: TrustedInstaller and Administrators change it, Users read.
        {L"D:P(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         L"(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)",
         false},
        // A drive's root: users add folders; they modify only what the folders hold.
        {L"D:(A;OICI;FA;;;BA)(A;;0x4;;;AU)(A;OICIIO;SDGXGWGR;;;AU)(A;OICI;0x1200a9;;;BU)", false},
        {L"D:(A;OICI;0x1301bf;;;AU)", true},
        {L"D:(A;;0x2;;;BU)", true},
        {L"D:(A;;WD;;;WD)", true},
        {L"D:(A;;WO;;;IU)", true},
        {L"D:(A;;FA;;;S-1-5-21-1-2-3-1001)", false},
        {L"D:(A;;GW;;;BU)", true},
        {L"D:(A;OICIIO;FA;;;BU)", false},
        // Windows reads the list in order: what is denied first stays denied.
        {L"D:(D;;0x1301bf;;;WD)(A;;0x1301bf;;;BU)", false},
        {L"D:(D;;0x1301bf;;;BU)(A;;0x1301bf;;;BU)", false},
        {L"D:(A;;0x1301bf;;;BU)(D;;0x1301bf;;;BU)", true},
        {L"D:(D;;0x1301bf;;;BU)(A;;0x1301bf;;;AU)", true},
        {L"D:", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.sddl)));
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            c.sddl, SDDL_REVISION_1, &descriptor, nullptr));
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
        EXPECT_EQ(platform::GrantsStandardUsersChange(platform::FolderDaclOf(dacl)), c.grants);
        LocalFree(descriptor);
    }
    // A null list grants everyone everything.
    EXPECT_TRUE(platform::GrantsStandardUsersChange(platform::FolderDaclOf(nullptr)));
}

}  // namespace

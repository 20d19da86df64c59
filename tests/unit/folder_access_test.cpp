// Who other than administrators could change what a program registered for
// every user runs: the program file's descriptor and its folders' as
// Windows ships or leaves them, up to the drive's root.
#include <gtest/gtest.h>

#include "platform/folder_access.h"

namespace {

using platform::AccessEntry;
using platform::ObjectSecurity;

const std::wstring kSystem = L"S-1-5-18";
const std::wstring kTrustedInstaller =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const std::wstring kAdmins = L"S-1-5-32-544";
const std::wstring kUsers = L"S-1-5-32-545";
const std::wstring kAuthenticated = L"S-1-5-11";
const std::wstring kEveryone = L"S-1-1-0";
const std::wstring kCreatorOwner = L"S-1-3-0";
const std::wstring kBob = L"S-1-5-21-1-2-3-1001";  // a standard user
const std::wstring kAnn = L"S-1-5-21-1-2-3-1002";  // an administrator
const std::wstring kDomainUsers = L"S-1-5-21-1-2-3-513";

constexpr std::uint32_t kFull = 0x1F01FF;
constexpr std::uint32_t kModify = 0x1301BF;
constexpr std::uint32_t kReadExecute = 0x1200A9;
constexpr std::uint32_t kAddFile = 0x2;
constexpr std::uint32_t kAddFolder = 0x4;
constexpr std::uint32_t kDeleteChild = 0x40;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kWriteDac = 0x40000;
constexpr std::uint32_t kGenericAll = 0x10000000;

AccessEntry Allow(const std::wstring& sid, std::uint32_t mask) {
    return {true, sid, mask, false};
}
AccessEntry Deny(const std::wstring& sid, std::uint32_t mask) {
    return {false, sid, mask, false};
}
AccessEntry InheritOnly(const std::wstring& sid, std::uint32_t mask) {
    return {true, sid, mask, true};
}

// Owned by the Administrators group, changed by SYSTEM and administrators, read by Users.
ObjectSecurity Locked(std::vector<AccessEntry> more = {}, const std::wstring& owner = kAdmins) {
    ObjectSecurity security{owner, false, {Allow(kSystem, kFull), Allow(kAdmins, kFull),
                                           Allow(kUsers, kReadExecute)}};
    security.entries.insert(security.entries.end(), more.begin(), more.end());
    return security;
}
// C:\ as Windows ships it: users add folders and modify only what those hold.
const ObjectSecurity kDriveRoot{kTrustedInstaller, false,
                                {Allow(kAdmins, kFull), Allow(kSystem, kFull),
                                 Allow(kUsers, kReadExecute), InheritOnly(kAuthenticated, kModify),
                                 Allow(kAuthenticated, kAddFolder)}};
// C:\Program Files as it ships, CREATOR OWNER among its entries.
const ObjectSecurity kProgramFiles{
    kTrustedInstaller, false,
    {Allow(kTrustedInstaller, kFull), InheritOnly(kTrustedInstaller, kGenericAll),
     Allow(kSystem, kModify), InheritOnly(kSystem, kGenericAll), Allow(kAdmins, kModify),
     InheritOnly(kAdmins, kGenericAll), Allow(kUsers, kReadExecute),
     InheritOnly(kCreatorOwner, kGenericAll)}};

TEST(FolderAccessTest, OnlyWhoCouldChangeWhatRunsCounts) {
    const std::wstring users = L"standard users";
    const std::wstring nobody;
    const struct {
        const char* id;
        std::wstring who;
        std::size_t at;
        platform::SecurityChain chain;  // the program file, its folder, ..., the root
    } cases[] = {
        {"Program Files as it ships", nobody, 0,
         {Locked(), Locked({InheritOnly(kCreatorOwner, kGenericAll)}), kProgramFiles, kDriveRoot}},
        {"a standard user owning their profile folder, and all in it", kBob, 0,
         {Locked({Allow(kBob, kFull)}, kBob), Locked({Allow(kBob, kFull)}, kBob),
          Locked({Allow(kBob, kFull)}, kBob), Locked(), kDriveRoot}},
        {"a standard user owning a folder above only", kBob, 2,
         {Locked(), Locked(), Locked({}, kBob), kDriveRoot}},
        {"a folder owned by the Administrators group", nobody, 0,
         {Locked(), Locked(), kDriveRoot}},
        {"a folder owned by an administrator's own SID", nobody, 0,
         {Locked(), Locked({}, kAnn), kDriveRoot}},
        {"a folder owned by someone not known as an administrator", kDomainUsers, 1,
         {Locked(), Locked({}, kDomainUsers), kDriveRoot}},
        {"a named user with Modify", kBob, 1,
         {Locked(), Locked({Allow(kBob, kModify)}), kDriveRoot}},
        {"Domain Users with Modify", kDomainUsers, 1,
         {Locked(), Locked({Allow(kDomainUsers, kModify)}), kDriveRoot}},
        {"inherited Authenticated Users Modify under a folder made on C:\\", users, 0,
         {Locked({Allow(kAuthenticated, kModify)}), Locked({Allow(kAuthenticated, kModify)}),
          Locked({Allow(kAuthenticated, kModify)}, kBob), kDriveRoot}},
        {"the program file's own list lets users write it", users, 0,
         {Locked({Allow(kEveryone, kAddFile)}), Locked(), kDriveRoot}},
        {"a null list on the program file", users, 0,
         {ObjectSecurity{kAdmins, true, {}}, Locked(), kDriveRoot}},
        {"users may add a DLL beside the program", users, 1,
         {Locked(), Locked({Allow(kUsers, kAddFile)}), kDriveRoot}},
        {"a locked-down folder beneath a parent where users may add files", nobody, 0,
         {Locked(), Locked(), Locked({Allow(kUsers, kAddFile | kAddFolder)}), kDriveRoot}},
        {"users may re-permission a folder above", users, 2,
         {Locked(), Locked(), Locked({Allow(kUsers, kWriteDac)}), kDriveRoot}},
        {"full control of the parent moves the program's folder away", users, 1,
         {Locked(), Locked(), Locked({Allow(kUsers, kGenericAll)}), kDriveRoot}},
        {"DELETE on the folder, adding a subfolder to its parent", kBob, 1,
         {Locked(), Locked({Allow(kBob, kDelete)}), Locked({Allow(kUsers, kAddFolder)}),
          kDriveRoot}},
        {"FILE_DELETE_CHILD and adding a subfolder on the parent", users, 1,
         {Locked(), Locked(), Locked({Allow(kUsers, kDeleteChild | kAddFolder)}), kDriveRoot}},
        {"FILE_DELETE_CHILD on the parent without adding a subfolder", nobody, 0,
         {Locked(), Locked(), Locked({Allow(kUsers, kDeleteChild)}), kDriveRoot}},
        {"denied to Everyone first", nobody, 0,
         {Locked(), Locked({Deny(kEveryone, kModify), Allow(kBob, kModify)}), kDriveRoot}},
        {"inherit-only entries apply to what the folder holds", nobody, 0,
         {Locked(), Locked({InheritOnly(kBob, kFull)}), kDriveRoot}},
        {"a list that cannot be read counts for nothing", nobody, 0,
         {std::nullopt, Locked(), kDriveRoot}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const std::optional<platform::Changer> changer = platform::WhoCouldReplace(c.chain, {kAnn});
        ASSERT_EQ(changer.has_value(), !c.who.empty());
        if (changer) {
            EXPECT_EQ(changer->standardUsers ? users : changer->sid, c.who);
            EXPECT_EQ(changer->at, c.at);
        }
    }
}

}  // namespace

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
const std::wstring kBob = L"S-1-5-21-1-2-3-1001";          // a standard user
const std::wstring kAnn = L"S-1-5-21-1-2-3-1002";          // an administrator
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

AccessEntry Allow(const std::wstring& sid, std::uint32_t mask) { return {true, sid, mask, false}; }
AccessEntry Deny(const std::wstring& sid, std::uint32_t mask) { return {false, sid, mask, false}; }
AccessEntry InheritOnly(const std::wstring& sid, std::uint32_t mask) { return {true, sid, mask, true}; }

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
    const struct {
        const char* id;
        platform::SecurityChain chain;  // the program file, its folder, ..., the root
        std::wstring who;               // empty: nobody
        std::size_t at;
    } cases[] = {
        {"Program Files as it ships",
         {Locked(), Locked({InheritOnly(kCreatorOwner, kGenericAll)}), kProgramFiles, kDriveRoot}, L"", 0},
        {"a standard user owning their profile folder, and all in it",
         {Locked({Allow(kBob, kFull)}, kBob), Locked({Allow(kBob, kFull)}, kBob),
          Locked({Allow(kBob, kFull)}, kBob), Locked(), kDriveRoot}, kBob, 0},
        {"a standard user owning a folder above only",
         {Locked(), Locked(), Locked({}, kBob), kDriveRoot}, kBob, 2},
        {"a folder owned by the Administrators group", {Locked(), Locked(), kDriveRoot}, L"", 0},
        {"a folder owned by an administrator's own SID", {Locked(), Locked({}, kAnn), kDriveRoot}, L"", 0},
        {"a named user with Modify", {Locked(), Locked({Allow(kBob, kModify)}), kDriveRoot}, kBob, 1},
        {"Domain Users with Modify",
         {Locked(), Locked({Allow(kDomainUsers, kModify)}), kDriveRoot}, kDomainUsers, 1},
        {"inherited Authenticated Users Modify under a folder made on C:\\",
         {Locked({Allow(kAuthenticated, kModify)}), Locked({Allow(kAuthenticated, kModify)}),
          Locked({Allow(kAuthenticated, kModify)}, kBob), kDriveRoot}, users, 0},
        {"the program file's own list lets users write it",
         {Locked({Allow(kEveryone, kAddFile)}), Locked(), kDriveRoot}, users, 0},
        {"a null list on the program file", {ObjectSecurity{kAdmins, true, {}}, Locked(), kDriveRoot}, users, 0},
        {"users may add a DLL beside the program", {Locked(), Locked({Allow(kUsers, kAddFile)}), kDriveRoot}, users, 1},
        {"a locked-down folder beneath a parent where users may add files",
         {Locked(), Locked(), Locked({Allow(kUsers, kAddFile | kAddFolder)}), kDriveRoot}, L"", 0},
        {"users may re-permission a folder above",
         {Locked(), Locked(), Locked({Allow(kUsers, kWriteDac)}), kDriveRoot}, users, 2},
        {"full control of the parent moves the program's folder away",
         {Locked(), Locked(), Locked({Allow(kUsers, kGenericAll)}), kDriveRoot}, users, 1},
        {"DELETE on the folder, adding a subfolder to its parent",
         {Locked(), Locked({Allow(kBob, kDelete)}), Locked({Allow(kUsers, kAddFolder)}), kDriveRoot}, kBob, 1},
        {"FILE_DELETE_CHILD and adding a subfolder on the parent",
         {Locked(), Locked(), Locked({Allow(kUsers, kDeleteChild | kAddFolder)}), kDriveRoot}, users, 1},
        {"FILE_DELETE_CHILD on the parent without adding a subfolder",
         {Locked(), Locked(), Locked({Allow(kUsers, kDeleteChild)}), kDriveRoot}, L"", 0},
        {"denied to Everyone first",
         {Locked(), Locked({Deny(kEveryone, kModify), Allow(kBob, kModify)}), kDriveRoot}, L"", 0},
        {"inherit-only entries apply to what the folder holds",
         {Locked(), Locked({InheritOnly(kBob, kFull)}), kDriveRoot}, L"", 0},
        {"a list that cannot be read counts for nothing", {std::nullopt, Locked(), kDriveRoot}, L"", 0},
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

// An owner whose membership could not be found out counts; SYSTEM,
// TrustedInstaller, Administrators and every user's groups are never asked.
TEST(FolderAccessTest, AnOwnerNotKnownAsAdministratorCounts) {
    const platform::SecurityChain chain{Locked(), Locked({}, kAnn), kProgramFiles, kDriveRoot};
    EXPECT_EQ(platform::PrincipalsToJudge(chain), (std::vector<std::wstring>{kAnn}));
    const std::optional<platform::Changer> changer = platform::WhoCouldReplace(chain, {});
    ASSERT_TRUE(changer.has_value());
    EXPECT_EQ(changer->sid, kAnn);
}

}  // namespace

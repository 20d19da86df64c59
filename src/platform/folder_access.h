// Whether standard users could change what lies in a folder, decided from
// the folder's access-control list.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// The groups every standard user belongs to, as far as this decision cares.
enum class Trustee { Everyone, AuthenticatedUsers, Users, Interactive, Other };

// One access-control entry of a folder's list.
struct FolderAce {
    bool allows = true;  // an allowed entry; false for a denied one
    Trustee trustee = Trustee::Other;
    std::uint32_t mask = 0;
    bool inheritOnly = false;  // applies only to what the folder holds, not to it
};

// A folder's discretionary access-control list. A null one grants everyone
// everything; an empty one grants nobody anything.
struct FolderDacl {
    bool isNull = false;
    std::vector<FolderAce> aces;
};

// The rights that let a user put a file of their own in a folder or change
// who may: write data (add a file), change the permissions, take ownership,
// and the generic write and all rights.
constexpr std::uint32_t kFileWriteData = 0x00000002;
constexpr std::uint32_t kFileAppendData = 0x00000004;  // on a folder: add a subfolder
constexpr std::uint32_t kWriteDac = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kChangeRights =
    kFileWriteData | kWriteDac | kWriteOwner | kGenericAll | kGenericWrite;

// Whether dacl grants Everyone, Authenticated Users, Users or INTERACTIVE a
// right of kChangeRights on the folder itself, as Windows reads the list: in
// order, a right denied to a group (or to Everyone) before it is granted
// stays denied. Adding a subfolder does not count: a drive's root lets
// every user do that.
bool GrantsStandardUsersChange(const FolderDacl& dacl);

}  // namespace platform

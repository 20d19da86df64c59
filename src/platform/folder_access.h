// Who, other than administrators, could change what a program registered for
// every user runs, decided from the security descriptors of the program file
// and of each folder above it ("File Security and Access Rights").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform {

// One access-control entry, its principal named by SID ("S-1-5-32-545").
struct AccessEntry {
    bool allows = true;  // an allowed entry; false for a denied one
    std::wstring sid;
    std::uint32_t mask = 0;
    bool inheritOnly = false;  // applies only to what a folder holds, not to it
};

// A file's or folder's owner, who may always change its permissions, and its
// discretionary access-control list. A null list grants everyone
// everything; an empty one grants nobody anything.
struct ObjectSecurity {
    std::wstring owner;  // SID; empty when unknown
    bool daclIsNull = false;
    std::vector<AccessEntry> entries;
};

// The rights that matter here, as the file system names them.
constexpr std::uint32_t kFileWriteData = 0x00000002;    // on a folder: add a file
constexpr std::uint32_t kFileAppendData = 0x00000004;   // on a folder: add a subfolder
constexpr std::uint32_t kFileDeleteChild = 0x00000040;  // delete or rename what a folder holds
constexpr std::uint32_t kDelete = 0x00010000;
constexpr std::uint32_t kWriteDac = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;

// The program file's descriptor, then its folder's and each one's above it,
// the drive's root last; nullopt where one could not be read.
using SecurityChain = std::vector<std::optional<ObjectSecurity>>;

// Who could change what runs, and where.
struct Changer {
    bool standardUsers = false;  // every user could: Everyone, Authenticated Users, Users or
                                 // INTERACTIVE holds the right
    std::wstring sid;            // otherwise the one principal that could
    std::size_t at = 0;          // in the chain: 0 the program file, 1 its folder, 2 the one above
};

// Whether sid names a group every user belongs to (Everyone, Authenticated
// Users, Users, INTERACTIVE).
bool IsEveryUsersGroup(const std::wstring& sid);

// The principals of chain, owners and allowed entries, in order, that are
// none of SYSTEM, TrustedInstaller, the Administrators group, a group every
// user belongs to, or a placeholder such as CREATOR OWNER: the ones whose
// membership of Administrators must be asked.
std::vector<std::wstring> PrincipalsToJudge(const SecurityChain& chain);

// The first principal other than an administrator that could change what
// runs; administrators holds the SIDs of Administrators' members. A
// principal counts when it owns the program file or may write, append to,
// delete, re-permission or take it over; owns the program's folder or may
// re-permission it or add a file to it (Windows looks for a program's DLLs
// in its own folder first); owns or may re-permission a folder above; or may
// rename such a folder away and put another in its place: DELETE on it or
// FILE_DELETE_CHILD on its parent, with adding a subfolder to that parent.
// Adding files or subfolders to a folder above alone does not count. Every
// user's groups are looked at first, then each other principal; the rights
// of every user's groups are theirs too. Rights are read in order: what an
// entry denies to the principal or to Everyone stays denied.
std::optional<Changer> WhoCouldReplace(const SecurityChain& chain,
                                       const std::set<std::wstring>& administrators);

// The first owner of chain's objects other than trusted, SYSTEM,
// TrustedInstaller, the Administrators group, or Everyone, which a volume
// that keeps no owners (FAT, exFAT) names for everything: someone else put
// that file or folder there. Nothing when there is none.
std::optional<std::wstring> OtherOwner(const SecurityChain& chain,
                                       const std::set<std::wstring>& trusted);

}  // namespace platform

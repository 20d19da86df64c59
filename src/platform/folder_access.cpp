// Who, other than administrators, could change what a program registered for
// every user runs.
#include "platform/folder_access.h"

#include <algorithm>

namespace platform {

namespace {

constexpr const wchar_t* kEveryone = L"S-1-1-0";

// Everyone, Authenticated Users, Users, INTERACTIVE.
constexpr const wchar_t* kEveryUsersGroups[] = {kEveryone, L"S-1-5-11", L"S-1-5-32-545",
                                                L"S-1-5-4"};

// Never a person who could misuse a right: SYSTEM, TrustedInstaller and the
// Administrators group; CREATOR OWNER and CREATOR GROUP, which inheritance
// replaces by the creator and no token holds; OWNER RIGHTS, which stands
// for the owner, who is judged as the owner.
constexpr const wchar_t* kNeverCounted[] = {
    L"S-1-5-18",
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
    L"S-1-5-32-544",
    L"S-1-3-0",
    L"S-1-3-1",
    L"S-1-3-4",
};

// What the generic rights mean on a file or folder: FILE_ALL_ACCESS and
// FILE_GENERIC_WRITE.
constexpr std::uint32_t kFileAllAccess = 0x001F01FF;
constexpr std::uint32_t kFileGenericWrite = 0x00120116;

// The rights that change what runs through the object at each place of the
// chain, besides owning it.
constexpr std::uint32_t kChangeRightsAt[] = {
    // The program file: replaced, or re-permissioned first.
    kFileWriteData | kFileAppendData | kDelete | kWriteDac | kWriteOwner,
    // Its folder: a DLL added there runs with the program.
    kFileWriteData | kWriteDac | kWriteOwner,
    // A folder above: re-permissioned, then anything below it changed.
    kWriteDac | kWriteOwner,
};

template <std::size_t N>
bool IsOneOf(const std::wstring& sid, const wchar_t* const (&sids)[N]) {
    return std::any_of(std::begin(sids), std::end(sids),
                       [&sid](const wchar_t* known) { return sid == known; });
}

std::uint32_t SpecificRights(std::uint32_t mask) {
    if ((mask & kGenericAll) != 0) {
        mask |= kFileAllAccess;
    }
    if ((mask & kGenericWrite) != 0) {
        mask |= kFileGenericWrite;
    }
    return mask;
}

// The rights the object's list grants sid on the object itself, read in
// order: what is denied to sid or to Everyone first stays denied.
std::uint32_t GrantedTo(const ObjectSecurity& object, const std::wstring& sid) {
    if (object.daclIsNull) {
        return kFileAllAccess;
    }
    std::uint32_t denied = 0;
    std::uint32_t granted = 0;
    for (const AccessEntry& entry : object.entries) {
        const bool applies = entry.sid == sid || (!entry.allows && entry.sid == kEveryone);
        if (entry.inheritOnly || !applies) {
            continue;
        }
        if (entry.allows) {
            granted |= SpecificRights(entry.mask) & ~denied;
        } else {
            denied |= SpecificRights(entry.mask);
        }
    }
    return granted;
}

// Every user's rights on the object, and with a principal the rights of a
// user holding it: a user holds every user's groups besides.
std::uint32_t RightsOf(const std::wstring* principal, const ObjectSecurity& object) {
    std::uint32_t rights = principal == nullptr ? 0 : GrantedTo(object, *principal);
    for (const wchar_t* group : kEveryUsersGroups) {
        rights |= GrantedTo(object, group);
    }
    return rights;
}

bool Owns(const std::wstring* principal, const ObjectSecurity& object) {
    return principal == nullptr ? IsEveryUsersGroup(object.owner) : object.owner == *principal;
}

// Whether every user (principal null) or a principal could change what runs
// through the object at place at of the chain.
bool CanChange(const std::wstring* principal, const SecurityChain& chain, std::size_t at) {
    if (!chain[at]) {
        return false;
    }
    const std::uint32_t rights = RightsOf(principal, *chain[at]);
    const std::uint32_t changing = kChangeRightsAt[std::min<std::size_t>(at, 2)];
    if (Owns(principal, *chain[at]) || (rights & changing) != 0) {
        return true;
    }
    // A folder renamed away, and another of that name put in its place.
    if (at == 0 || at + 1 >= chain.size() || !chain[at + 1]) {
        return false;
    }
    const std::uint32_t parent = RightsOf(principal, *chain[at + 1]);
    const bool movesAway = (rights & kDelete) != 0 || (parent & kFileDeleteChild) != 0;
    return movesAway && (parent & kFileAppendData) != 0;
}

}  // namespace

bool IsEveryUsersGroup(const std::wstring& sid) {
    return IsOneOf(sid, kEveryUsersGroups);
}

std::vector<std::wstring> PrincipalsToJudge(const SecurityChain& chain) {
    std::vector<std::wstring> principals;
    const auto add = [&principals](const std::wstring& sid) {
        if (!sid.empty() && !IsOneOf(sid, kNeverCounted) && !IsEveryUsersGroup(sid) &&
            std::find(principals.begin(), principals.end(), sid) == principals.end()) {
            principals.push_back(sid);
        }
    };
    for (const std::optional<ObjectSecurity>& object : chain) {
        if (!object) {
            continue;
        }
        add(object->owner);
        for (const AccessEntry& entry : object->entries) {
            if (entry.allows && !entry.inheritOnly) {
                add(entry.sid);
            }
        }
    }
    return principals;
}

std::optional<std::wstring> OtherOwner(const SecurityChain& chain,
                                       const std::set<std::wstring>& trusted) {
    for (const std::optional<ObjectSecurity>& object : chain) {
        if (object && !object->owner.empty() && !IsOneOf(object->owner, kNeverCounted) &&
            object->owner != kEveryone && trusted.count(object->owner) == 0) {
            return object->owner;
        }
    }
    return std::nullopt;
}

std::optional<Changer> WhoCouldReplace(const SecurityChain& chain,
                                       const std::set<std::wstring>& administrators) {
    for (std::size_t at = 0; at < chain.size(); ++at) {
        if (CanChange(nullptr, chain, at)) {
            return Changer{true, std::wstring(), at};
        }
    }
    std::vector<std::wstring> principals = PrincipalsToJudge(chain);
    principals.erase(std::remove_if(principals.begin(), principals.end(),
                                    [&administrators](const std::wstring& sid) {
                                        return administrators.count(sid) != 0;
                                    }),
                     principals.end());
    for (std::size_t at = 0; at < chain.size(); ++at) {
        for (const std::wstring& principal : principals) {
            if (CanChange(&principal, chain, at)) {
                return Changer{false, principal, at};
            }
        }
    }
    return std::nullopt;
}

}  // namespace platform

// The platform seam on Windows: accounts by SID, their names and whether
// they are administrators. Membership is asked of the local machine through
// netapi32, loaded from the system directory on first use: the direct
// members of Administrators by SID (NetLocalGroupGetMembers, level 0), and
// for a user every local group it belongs to, also through a global group
// (NetUserGetLocalGroups with LG_INCLUDE_INDIRECT), each group's name
// turned back into its SID, since the names are translated.
#include <windows.h>

#include <lm.h>
#include <sddl.h>

#include <vector>

#include "platform/platform.h"
#include "platform/system_library.h"
#include "platform/win32_acl.h"

namespace platform {

namespace {

using NetLocalGroupGetMembersFunction = NET_API_STATUS(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, LPBYTE*,
                                                                DWORD, LPDWORD, LPDWORD,
                                                                PDWORD_PTR);
using NetUserGetLocalGroupsFunction = NET_API_STATUS(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, DWORD,
                                                              LPBYTE*, DWORD, LPDWORD, LPDWORD);
using NetApiBufferFreeFunction = NET_API_STATUS(WINAPI*)(LPVOID);

constexpr const wchar_t* kNetApi = L"netapi32.dll";

// Frees on every way out what a netapi32 call allocated.
class NetBuffer {
public:
    NetBuffer() = default;
    ~NetBuffer() {
        static const auto freeBuffer =
            SystemFunction<NetApiBufferFreeFunction>(kNetApi, "NetApiBufferFree");
        if (bytes_ != nullptr && freeBuffer != nullptr) {
            freeBuffer(bytes_);
        }
    }
    NetBuffer(const NetBuffer&) = delete;
    NetBuffer& operator=(const NetBuffer&) = delete;

    LPBYTE* Out() { return &bytes_; }
    template <typename Entry>
    const Entry* As() const {
        return reinterpret_cast<const Entry*>(bytes_);
    }

private:
    LPBYTE bytes_ = nullptr;
};

// A SID read from its string form; holds nothing when the text is none.
class Sid {
public:
    explicit Sid(const std::wstring& text) {
        if (!ConvertStringSidToSidW(text.c_str(), &sid_)) {
            sid_ = nullptr;
        }
    }
    ~Sid() { LocalFree(sid_); }
    Sid(const Sid&) = delete;
    Sid& operator=(const Sid&) = delete;

    PSID Get() const { return sid_; }

private:
    PSID sid_ = nullptr;
};

constexpr const wchar_t* kAdministratorsSid = L"S-1-5-32-544";

struct Account {
    std::wstring name;  // DOMAIN\name, or name alone for a domain without a name
    SID_NAME_USE use = SidTypeUnknown;
};

bool LookupAccount(PSID sid, Account& out) {
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    if (sid == nullptr ||
        !LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &out.use)) {
        return false;
    }
    out.name = domainSize == 0 ? std::wstring(name) : std::wstring(domain) + L"\\" + name;
    return true;
}

// The SID of a local group named as NetUserGetLocalGroups names it.
std::wstring GroupSid(const wchar_t* name) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountNameW(nullptr, name, sid, &sidSize, domain, &domainSize, &use)) {
        return std::wstring();
    }
    return SidString(sid);
}

// The SIDs of Administrators' direct members: users and groups, a domain's
// Domain Admins among them.
std::set<std::wstring> DirectAdministrators() {
    std::set<std::wstring> members;
    const auto getMembers =
        SystemFunction<NetLocalGroupGetMembersFunction>(kNetApi, "NetLocalGroupGetMembers");
    const Sid administrators(kAdministratorsSid);
    Account group;
    if (getMembers == nullptr || !LookupAccount(administrators.Get(), group)) {
        return members;
    }
    // The group's own name, without BUILTIN\.
    const std::wstring name = group.name.substr(group.name.find_last_of(L'\\') + 1);
    NetBuffer buffer;
    DWORD read = 0;
    DWORD total = 0;
    if (getMembers(nullptr, name.c_str(), 0, buffer.Out(), MAX_PREFERRED_LENGTH, &read, &total,
                   nullptr) != NERR_Success) {
        return members;
    }
    for (DWORD i = 0; i < read; ++i) {
        members.insert(SidString(buffer.As<LOCALGROUP_MEMBERS_INFO_0>()[i].lgrmi0_sid));
    }
    return members;
}

// Whether the user belongs to Administrators, directly or through a group.
bool UserIsAdministrator(const std::wstring& user) {
    const auto getGroups =
        SystemFunction<NetUserGetLocalGroupsFunction>(kNetApi, "NetUserGetLocalGroups");
    NetBuffer buffer;
    DWORD read = 0;
    DWORD total = 0;
    if (getGroups == nullptr ||
        getGroups(nullptr, user.c_str(), 0, LG_INCLUDE_INDIRECT, buffer.Out(),
                  MAX_PREFERRED_LENGTH, &read, &total) != NERR_Success) {
        return false;
    }
    for (DWORD i = 0; i < read; ++i) {
        if (GroupSid(buffer.As<LOCALGROUP_USERS_INFO_0>()[i].lgrui0_name) == kAdministratorsSid) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::set<std::wstring> AdministratorsAmong(const std::vector<std::wstring>& sids) {
    std::set<std::wstring> administrators;
    if (sids.empty()) {
        return administrators;  // netapi32 stays unloaded
    }
    const std::set<std::wstring> direct = DirectAdministrators();
    for (const std::wstring& text : sids) {
        const Sid sid(text);
        Account account;
        if (direct.count(text) != 0 ||
            (LookupAccount(sid.Get(), account) && account.use == SidTypeUser &&
             UserIsAdministrator(account.name))) {
            administrators.insert(text);
        }
    }
    return administrators;
}

std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return std::wstring();
    }
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    const BOOL read = GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size);
    CloseHandle(token);
    return read ? SidString(reinterpret_cast<const TOKEN_USER*>(buffer)->User.Sid) : std::wstring();
}

std::wstring AccountName(const std::wstring& sid) {
    const Sid parsed(sid);
    Account account;
    return LookupAccount(parsed.Get(), account) ? account.name : sid;
}

}  // namespace platform

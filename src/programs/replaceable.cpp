// The warning for a program registered for every user that someone other
// than an administrator could replace. A registration for every user runs
// its program as whoever opens a link, administrators included: a program
// that anyone else can replace hands them each such user's rights.
#include "programs/replaceable.h"

#include <optional>
#include <set>
#include <vector>

#include "platform/platform.h"
#include "programs/command_program.h"

namespace {

std::wstring ParentOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The root of the drive or share that holds path, with its last backslash
// (C:\ or \\server\share\); empty when path names neither.
std::wstring DriveRoot(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        return path.substr(0, 3);
    }
    if (path.compare(0, 2, L"\\\\") != 0 || path.compare(0, 3, L"\\\\?") == 0 ||
        path.compare(0, 3, L"\\\\.") == 0) {
        return std::wstring();
    }
    const std::size_t server = path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? std::wstring() : path.substr(0, share + 1);
}

// The path as Windows resolves it, with \\?\ before a drive left out: a
// program named C:/Users/… or C:\Program Files\..\Users\… is read through
// the folders that really lead to it.
std::wstring ResolvedPath(const std::wstring& path) {
    const bool literal = path.size() >= 7 && path.compare(0, 4, L"\\\\?\\") == 0 &&
                         path[5] == L':' && path[6] == L'\\';
    return platform::FullPath(literal ? path.substr(4) : path);
}

// The program file, the folder that holds it and each one above it, the
// root last.
std::vector<std::wstring> FileAndFoldersUpToRoot(const std::wstring& path,
                                                 const std::wstring& root) {
    std::vector<std::wstring> chain{path};
    for (std::wstring folder = ParentOf(path); folder.size() >= root.size();
         folder = ParentOf(folder)) {
        chain.push_back(folder);
    }
    chain.push_back(root);
    return chain;
}

// The descriptors of paths; nullopt where one could not be read.
platform::SecurityChain SecurityOf(const std::vector<std::wstring>& paths) {
    platform::SecurityChain chain;
    for (const std::wstring& path : paths) {
        platform::ObjectSecurity security;
        chain.push_back(platform::ReadObjectSecurity(path, security)
                            ? std::optional<platform::ObjectSecurity>(security)
                            : std::nullopt);
    }
    return chain;
}

// The first half of the warning: who could change what, and the words that
// name them again in its second half.
struct Finding {
    std::wstring what;
    std::wstring them;
};

Finding Describe(const std::wstring& program, const std::wstring& changed,
                 const platform::Changer& changer) {
    if (changer.standardUsers) {
        return {changer.at == 0 ? L"standard users may change " + program
                                : program + L" lies in " + changed +
                                      L", which standard users may change",
                L"any of them"};
    }
    const std::wstring who = platform::AccountName(changer.sid);
    return {changer.at == 0
                ? who + L" may change " + program + L" without being an administrator"
                : program + L" lies in " + changed + L", which " + who +
                      L" may change without being an administrator",
            L"they"};
}

// Who other than administrators could change program, or the folders that
// lead to it, and so what runs; nothing when no one could.
std::optional<Finding> ChangeableByOthers(const std::wstring& given) {
    const std::wstring program = ResolvedPath(given);
    const std::wstring root = DriveRoot(program);
    if (root.empty()) {
        return std::nullopt;
    }
    switch (platform::QueryDriveType(root)) {
    case platform::DriveType::Removable:
        return Finding{program + L" lies on a removable drive", L"any of them"};
    case platform::DriveType::Network:
        return Finding{program + L" lies on a network drive", L"any of them"};
    default:
        break;
    }
    const std::vector<std::wstring> paths = FileAndFoldersUpToRoot(program, root);
    const platform::SecurityChain chain = SecurityOf(paths);
    const std::optional<platform::Changer> changer = platform::WhoCouldReplace(
        chain, platform::AdministratorsAmong(platform::PrincipalsToJudge(chain)));
    if (!changer) {
        return std::nullopt;
    }
    return Describe(program, paths[changer->at], *changer);
}

}  // namespace

bool OwnedByAnotherUser(const std::wstring& given) {
    const std::wstring program = ResolvedPath(given);
    const std::wstring root = DriveRoot(program);
    if (root.empty() || platform::QueryDriveType(root) != platform::DriveType::Fixed) {
        return false;
    }
    const platform::SecurityChain chain = SecurityOf(FileAndFoldersUpToRoot(program, root));
    std::set<std::wstring> trusted =
        platform::AdministratorsAmong(platform::PrincipalsToJudge(chain));
    trusted.insert(platform::CurrentUserSid());
    return platform::OtherOwner(chain, trusted).has_value();
}

void WarnIfStandardUsersCouldChange(const std::wstring& executablePath) {
    const CommandProgram program = FindCommandProgram(platform::ExpandEnvironment(executablePath));
    if (!program.exists) {
        return;
    }
    const std::optional<Finding> finding = ChangeableByOthers(program.path);
    if (finding) {
        platform::WriteError(L"Warning: " + finding->what + L", so " + finding->them +
                             L" could replace it and run code as every user who opens a link; "
                             L"it belongs in a folder under Program Files.\n");
    }
}


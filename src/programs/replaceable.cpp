// The warning for a program registered for every user that standard users
// could replace. A registration for every user runs its program as whoever
// opens a link, administrators included: a program that standard users can
// replace hands each of them that user's rights.
#include "programs/replaceable.h"

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

// The folder that holds path and each one above it, the root last.
std::vector<std::wstring> FoldersUpToRoot(const std::wstring& path, const std::wstring& root) {
    std::vector<std::wstring> folders;
    for (std::wstring folder = ParentOf(path); folder.size() >= root.size();
         folder = ParentOf(folder)) {
        folders.push_back(folder);
    }
    folders.push_back(root);
    return folders;
}

// Where program lies that standard users could change it, as the words of
// the warning ("on a removable drive"); empty when nowhere they could.
std::wstring ChangeableByStandardUsers(const std::wstring& program) {
    const std::wstring root = DriveRoot(program);
    if (root.empty()) {
        return std::wstring();
    }
    switch (platform::QueryDriveType(root)) {
    case platform::DriveType::Removable:
        return L"on a removable drive";
    case platform::DriveType::Network:
        return L"on a network drive";
    default:
        break;
    }
    for (const std::wstring& folder : FoldersUpToRoot(program, root)) {
        platform::FolderDacl dacl;
        if (platform::ReadFolderDacl(folder, dacl) && platform::GrantsStandardUsersChange(dacl)) {
            return L"in " + folder + L", which standard users may change";
        }
    }
    return std::wstring();
}

}  // namespace

void WarnIfStandardUsersCouldChange(const std::wstring& executablePath) {
    const CommandProgram program = FindCommandProgram(platform::ExpandEnvironment(executablePath));
    if (!program.exists) {
        return;
    }
    const std::wstring where = ChangeableByStandardUsers(program.path);
    if (!where.empty()) {
        platform::WriteError(L"Warning: " + program.path + L" lies " + where +
                             L", so any of them could replace it and run code as every user who "
                             L"opens a link; it belongs in a folder under Program Files.\n");
    }
}


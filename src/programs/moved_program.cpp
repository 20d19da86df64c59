// Programs gone from their drive, looked for on the others.
#include "programs/moved_program.h"

#include "platform/platform.h"
#include "programs/command_program.h"
#include "programs/replaceable.h"

namespace {

std::wstring RootOf(wchar_t drive) {
    return std::wstring(1, drive) + L":\\";
}

// A drive a moved program may be on: fixed or removable, and never A: or B:,
// the floppy letters that older Windows still probe with a seek.
bool MayHoldPrograms(wchar_t drive) {
    if (drive == L'\0' || drive == L'A' || drive == L'B') {
        return false;
    }
    const platform::DriveType type = platform::QueryDriveType(RootOf(drive));
    return type == platform::DriveType::Fixed || type == platform::DriveType::Removable;
}

wchar_t OwnDrive() {
    std::wstring directory;
    return platform::GetExecutableDirectory(directory) ? DriveLetterOf(directory) : L'\0';
}

// Whether a command names a drive that the search may look past: one with a
// letter that is not a network drive's.
bool IsSearchable(const std::wstring& command) {
    const wchar_t drive = CommandDrive(command);
    return drive != L'\0' &&
           platform::QueryDriveType(RootOf(drive)) != platform::DriveType::Network;
}

// Each command's program on drive, when drive holds every one of them.
bool HoldsAll(wchar_t drive, const std::vector<std::wstring>& commands,
              std::vector<MovedProgram>& moved) {
    moved.clear();
    for (const std::wstring& command : commands) {
        const CommandProgram program = FindCommandProgram(CommandOnDrive(command, drive));
        if (!program.exists || OwnedByAnotherUser(program.path)) {
            return false;
        }
        MovedProgram found{program.path, program.path};
        found.from[0] = CommandDrive(command);
        moved.push_back(found);
    }
    return true;
}

}  // namespace

DriveSearch FindMovedPrograms(const std::vector<std::wstring>& commands, bool ownDriveOnly) {
    const platform::QuietDriveErrors quiet;
    DriveSearch search;
    const wchar_t own = OwnDrive();
    search.own = MayHoldPrograms(own) ? own : L'\0';
    for (const std::wstring& command : commands) {
        if (!IsSearchable(command)) {
            return search;
        }
    }
    if (!commands.empty() && search.own != L'\0' && HoldsAll(own, commands, search.moved)) {
        search.found = DriveSearch::Found::OnOne;
        search.drives = std::wstring(1, own);
        return search;
    }
    std::vector<MovedProgram> moved;
    for (wchar_t drive : ownDriveOnly ? std::wstring() : platform::LogicalDriveLetters()) {
        if (drive != own && MayHoldPrograms(drive) && HoldsAll(drive, commands, moved)) {
            search.drives += drive;
            search.moved = moved;
        }
    }
    search.found = search.drives.empty()        ? DriveSearch::Found::Nowhere
                   : search.drives.size() == 1 ? DriveSearch::Found::OnOne
                                               : DriveSearch::Found::OnSeveral;
    if (search.found != DriveSearch::Found::OnOne) {
        search.moved.clear();
    }
    return search;
}

// Removal: writes a registry-editor backup of a client's registration beside
// the executable, then deletes the client's key tree, its
// RegisteredApplications entry and, when asked, its class. Nothing is deleted
// unless the backup was written whole, and a backup holds every value exactly
// as stored, so that `reg import` of it undoes the removal.
#include "marovendel.h"
#include "platform/platform.h"
#include "reg_file.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registry::Status;
using registration::ClientName;

namespace {

// Writes bytes to a temporary file and moves it over target in one step, so
// target is either the earlier file or the complete new one.
bool WriteFileWhole(const std::wstring& target, const std::wstring& temporary,
                    const std::vector<std::uint8_t>& bytes) {
    platform::File out;
    if (!platform::CreateFileForWriting(temporary, out)) {
        Print(L"Failed to create export file: %ls\n", target.c_str());
        return false;
    }
    const bool written = platform::WriteToFile(out, bytes.data(), bytes.size());
    const bool closed = platform::CloseFile(out);
    if (!written || !closed || !platform::MoveFileOver(temporary, target)) {
        platform::RemoveFile(temporary);
        Print(L"Failed to export registry keys to %ls\n", target.c_str());
        return false;
    }
    Print(L"Successfully exported registry keys to %ls\n", target.c_str());
    return true;
}

bool BackupPaths(const ClientName& clientName, std::wstring& target, std::wstring& temporary) {
    std::wstring directory;
    if (!platform::GetExecutableDirectory(directory)) {
        Print(L"Failed to create export file: %ls.reg\n", clientName.c_str());
        return false;
    }
    target = directory + L"\\" + clientName.Text() + L".reg";
    temporary = target + L".tmp";
    if (registry::Utf16Length(temporary) > platform::kMaxPathChars) {
        Print(L"The backup path is too long: %ls\n", target.c_str());
        return false;
    }
    return true;
}

// The RegisteredApplications value named clientName, if there is one.
void ExportRegisteredApplication(reg_file::RegFile& file, RootKey root,
                                 const ClientName& clientName) {
    Key applications;
    const Status opened = registry::OpenKey(root, registration::kRegisteredApplicationsPath,
                                            Access::Read, applications);
    if (opened != kSuccess) {
        Print(L"Failed to open RegisteredApplications key.\n");
        if (opened != registry::kFileNotFound) {
            file.MarkFailed();
        }
        return;
    }
    file.AddValueIfPresent(root, applications, registration::kRegisteredApplicationsPath,
                           clientName.Text());
}

// Writes the backup: the client tree, its RegisteredApplications value and,
// unless classKeyPath is empty, the class tree. False when it could not be
// written whole, and then nothing may be deleted.
bool BackUpRegistration(RootKey root, const ClientName& clientName,
                        const std::wstring& clientKeyPath, const std::wstring& classKeyPath) {
    std::wstring target;
    std::wstring temporary;
    if (!BackupPaths(clientName, target, temporary)) {
        return false;
    }
    reg_file::RegFile file;
    file.AddTreeIfPresent(root, clientKeyPath);
    ExportRegisteredApplication(file, root, clientName);
    if (!classKeyPath.empty()) {
        file.AddTreeIfPresent(root, classKeyPath);
    }
    if (file.Failed()) {
        Print(L"Failed to export registry keys to %ls\n", target.c_str());
        return false;
    }
    if (!file.HoldsEntries()) {
        // Keep any earlier backup rather than replace it with an empty one.
        Print(L"Nothing to export for %ls.\n", clientName.c_str());
        return true;
    }
    return WriteFileWhole(target, temporary, file.Bytes());
}

bool DeleteClientTree(RootKey root, const std::wstring& clientKeyPath) {
    if (registry::DeleteTree(root, clientKeyPath) != kSuccess) {
        Print(L"Failed to delete browser registry key: %ls\n", clientKeyPath.c_str());
        return false;
    }
    Print(L"Successfully deleted browser registry key: %ls\n", clientKeyPath.c_str());
    return true;
}

bool DeleteRegisteredApplication(RootKey root, const ClientName& clientName) {
    Key applications;
    if (registry::OpenKey(root, registration::kRegisteredApplicationsPath, Access::Write,
                          applications) != kSuccess) {
        Print(L"Failed to open RegisteredApplications key.\n");
        return false;
    }
    if (registry::DeleteValue(applications, clientName.c_str()) != kSuccess) {
        Print(L"Failed to delete browser from RegisteredApplications: %ls\n", clientName.c_str());
        return false;
    }
    Print(L"Successfully deleted browser from RegisteredApplications: %ls\n", clientName.c_str());
    return true;
}

// The class the associations name: while it stays, a browser that was the
// default still opens every link after its registration is gone.
bool DeleteClassKey(RootKey root, const std::wstring& classKeyPath) {
    if (registry::DeleteTree(root, classKeyPath) != kSuccess) {
        Print(L"Failed to delete browser class key: %ls\n", classKeyPath.c_str());
        return false;
    }
    Print(L"Successfully deleted browser class key: %ls\n", classKeyPath.c_str());
    return true;
}

}  // namespace

Outcome DeleteBrowser(RootKey root, const ClientName& clientName, const DeleteOptions& options) {
    const std::wstring clientKeyPath = registration::ClientKeyPath(clientName);
    const std::wstring classKeyPath =
        options.removeClass ? registration::ClassKeyPath(registration::ProgId(clientName))
                            : std::wstring();
    if (!options.noBackup && !BackUpRegistration(root, clientName, clientKeyPath, classKeyPath)) {
        return Outcome::Failed;
    }

    const bool tree = DeleteClientTree(root, clientKeyPath);
    const bool application = DeleteRegisteredApplication(root, clientName);
    const bool classKey = options.removeClass && DeleteClassKey(root, classKeyPath);
    if (tree || application || classKey) {
        platform::NotifyAssociationsChanged();
    }
    return tree && application && (classKey || !options.removeClass) ? Outcome::Done
                                                                      : Outcome::Failed;
}

// The backup of a registration before it changes.
#include "registration/backup.h"

#include "output/backup_file.h"
#include "output/reg_file.h"
#include "output/text.h"
#include "platform/platform.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registry::RootKey;
using registry::Status;

namespace registration {

namespace {

// The RegisteredApplications value named clientName, if there is one. The
// line a missing key is worth goes to notes.
void ExportRegisteredApplication(reg_file::RegFile& file, RootKey root,
                                 const ClientName& clientName, std::vector<std::wstring>& notes) {
    Key applications;
    const Status opened =
        registry::OpenKey(root, kRegisteredApplicationsPath, Access::Read, applications);
    if (opened != kSuccess) {
        notes.push_back(L"Failed to open RegisteredApplications key.\n");
        if (opened != registry::kFileNotFound) {
            file.MarkFailed();
        }
        return;
    }
    file.AddValueIfPresent(root, applications, kRegisteredApplicationsPath, clientName.Text());
}

// The value named progId in each OpenWithProgids key that has one.
void ExportOpenWithValues(reg_file::RegFile& file, RootKey root, const BackupExtent& extent) {
    for (const std::wstring& path : extent.openWithPaths) {
        Key openWith;
        const Status opened = registry::OpenKey(root, path, Access::Read, openWith);
        if (opened == kSuccess) {
            file.AddValueIfPresent(root, openWith, path, extent.progId);
        } else if (opened != registry::kFileNotFound) {
            file.MarkFailed();
        }
    }
}

// The backup's contents: the client tree, its RegisteredApplications value,
// then the extent's trees and OpenWithProgids values.
reg_file::RegFile BuildBackup(RootKey root, const ClientName& clientName,
                              const BackupExtent& extent, std::vector<std::wstring>& notes) {
    reg_file::RegFile file;
    file.AddTreeIfPresent(root, ClientKeyPath(clientName));
    ExportRegisteredApplication(file, root, clientName, notes);
    for (const std::wstring& tree : extent.trees) {
        file.AddTreeIfPresent(root, tree);
    }
    ExportOpenWithValues(file, root, extent);
    if (!extent.found) {
        file.MarkFailed();
    }
    return file;
}

}  // namespace

std::wstring BackupFileFor(RootKey root, const ClientName& clientName, const BackupExtent& extent) {
    const std::wstring stem = BackupFileStem(clientName.Text());
    std::wstring directory;
    if (!platform::GetExecutableDirectory(directory)) {
        return stem + L".reg";
    }
    std::vector<std::wstring> notes;  // the backup itself says them
    const reg_file::RegFile file = BuildBackup(root, clientName, extent, notes);
    return file.Failed() ? NumberedBackupPath(directory, stem, 1)
                         : BackupFilePath(directory, stem, file.Bytes());
}

Backup BackUpRegistration(RootKey root, const ClientName& clientName, const BackupExtent& extent,
                          bool announce) {
    Backup backup;
    std::wstring directory;
    if (!platform::GetExecutableDirectory(directory)) {
        Print(L"Failed to create export file: %ls.reg\n", clientName.c_str());
        return backup;
    }
    const std::wstring stem = BackupFileStem(clientName.Text());
    std::vector<std::wstring> notes;
    const reg_file::RegFile file = BuildBackup(root, clientName, extent, notes);
    for (const std::wstring& note : notes) {
        Print(L"%ls", note.c_str());
    }
    if (file.Failed()) {
        Print(L"Failed to export registry keys to %ls\n",
              NumberedBackupPath(directory, stem, 1).c_str());
        return backup;
    }
    if (!file.HoldsEntries()) {
        // Keep any earlier backup rather than replace it with an empty one.
        Print(L"Nothing to export for %ls.\n", clientName.c_str());
        backup.written = true;
        return backup;
    }
    const std::optional<std::wstring> path = WriteBackupFile(directory, stem, file.Bytes());
    if (path && announce) {
        Print(L"Successfully exported registry keys to %ls\n", path->c_str());
    }
    backup.written = path.has_value();
    backup.path = path.value_or(std::wstring());
    return backup;
}

}  // namespace registration

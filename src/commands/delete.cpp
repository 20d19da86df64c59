// Removal: writes a registry-editor backup of a client's registration beside
// the executable, then deletes the client's key tree, its
// RegisteredApplications entry and, when asked, its class and the class's
// place on each file type's Open with list. Nothing is deleted unless the
// backup was written whole, and a backup holds every value exactly as
// stored, so that `reg import` of it undoes the removal.
#include "commands/commands.h"
#include "output/text.h"
#include "platform/platform.h"
#include "registration/backup.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registry::Status;
using registration::ClientName;

namespace {

// What one removal deletes, found before anything is deleted.
struct Removal {
    std::wstring clientKeyPath;
    std::wstring classKeyPath;                // empty unless -all
    std::vector<std::wstring> openWithPaths;  // -all: OpenWithProgids keys that may name the class
    bool typesRead = true;                    // the client's FileAssociations read whole, or absent
};

// Adds the OpenWithProgids path of fileType, once, when a key can be named
// after it.
void AddOpenWithPath(std::vector<std::wstring>& paths, const std::wstring& fileType) {
    const std::optional<std::wstring> path = registration::OpenWithProgidsPath(fileType);
    if (!path) {
        return;
    }
    for (const std::wstring& known : paths) {
        if (EqualsIgnoringCase(known, *path)) {
            return;
        }
    }
    paths.push_back(*path);
}

// The file types whose Open with lists may name the class: those of the
// layout, and any other that the client's FileAssociations names, which
// someone may have added since. False when that key exists but cannot be
// read whole.
bool FindOpenWithPaths(RootKey root, const ClientName& clientName,
                       std::vector<std::wstring>& paths) {
    for (const std::wstring& fileType : registration::FileTypes()) {
        AddOpenWithPath(paths, fileType);
    }
    const std::wstring path =
        registration::FileAssociationsPath(registration::CapabilitiesPath(clientName));
    Key associations;
    Status status = registry::OpenKey(root, path, Access::Read, associations);
    if (status == registry::kFileNotFound) {
        return true;
    }
    registry::KeyInfo info;
    if (status == kSuccess) {
        status = registry::QueryInfo(associations, info);
    }
    for (std::uint32_t index = 0; status == kSuccess; ++index) {
        std::wstring name;
        registry::ValueData data;
        status = registry::EnumValue(associations, index, info.maxValueNameChars,
                                     info.maxValueDataBytes, name, data);
        if (status == kSuccess) {
            AddOpenWithPath(paths, name);
        }
    }
    return status == registry::kNoMoreItems;
}

// What one removal deletes, found before anything is deleted; the lines it
// has to say go to notes.
Removal FindRemoval(RootKey root, const ClientName& clientName, const DeleteOptions& options,
                    std::vector<std::wstring>& notes) {
    Removal removal;
    removal.clientKeyPath = registration::ClientKeyPath(clientName);
    if (options.all) {
        removal.classKeyPath = registration::ClassKeyPath(registration::ProgId(clientName));
        removal.typesRead = FindOpenWithPaths(root, clientName, removal.openWithPaths);
        if (!removal.typesRead) {
            notes.push_back(L"Failed to read the file types in " +
                            registration::FileAssociationsPath(
                                registration::CapabilitiesPath(clientName)) + L".\n");
        }
    }
    return removal;
}

// What the backup holds besides the client: with -all, the class tree and
// the class's OpenWithProgids values.
registration::BackupExtent ExtentOf(const Removal& removal, const ClientName& clientName) {
    registration::BackupExtent extent;
    if (!removal.classKeyPath.empty()) {
        extent.trees.push_back(removal.classKeyPath);
    }
    extent.openWithPaths = removal.openWithPaths;
    extent.progId = registration::ProgId(clientName);
    extent.found = removal.typesRead;
    return extent;
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

// Takes the class off one file type's Open with list. A key or value that is
// not there has nothing to take off; the key and its other values stay.
struct OpenWithResult {
    bool failed = false;
    bool deleted = false;
};

OpenWithResult DeleteOpenWithValue(RootKey root, const std::wstring& path,
                                   const std::wstring& progId) {
    OpenWithResult result;
    Key openWith;
    Status status = registry::OpenKey(root, path, Access::Write, openWith);
    if (status == kSuccess) {
        status = registry::DeleteValue(openWith, progId.c_str());
    }
    if (status == registry::kFileNotFound) {
        return result;
    }
    if (status != kSuccess) {
        Print(L"Failed to delete %ls from %ls.\n", progId.c_str(), path.c_str());
        result.failed = true;
        return result;
    }
    Print(L"Successfully deleted %ls from %ls.\n", progId.c_str(), path.c_str());
    result.deleted = true;
    return result;
}

}  // namespace

std::wstring RemovalBackupPath(RootKey root, const ClientName& clientName,
                               const DeleteOptions& options) {
    std::vector<std::wstring> notes;  // the removal says them
    const Removal removal = FindRemoval(root, clientName, options, notes);
    return registration::BackupFileFor(root, clientName, ExtentOf(removal, clientName));
}

Outcome DeleteBrowser(RootKey root, const ClientName& clientName, const DeleteOptions& options) {
    std::vector<std::wstring> notes;
    const Removal removal = FindRemoval(root, clientName, options, notes);
    for (const std::wstring& note : notes) {
        Print(L"%ls", note.c_str());
    }
    const std::wstring progId = registration::ProgId(clientName);
    // Nothing is deleted unless the backup was written whole.
    if (!options.noBackup &&
        !registration::BackUpRegistration(root, clientName, ExtentOf(removal, clientName), true)
             .written) {
        return Outcome::Failed;
    }

    const bool tree = DeleteClientTree(root, removal.clientKeyPath);
    const bool application = DeleteRegisteredApplication(root, clientName);
    const bool classKey = options.all && DeleteClassKey(root, removal.classKeyPath);
    bool openWithDeleted = false;
    bool openWithComplete = true;
    for (const std::wstring& path : removal.openWithPaths) {
        const OpenWithResult result = DeleteOpenWithValue(root, path, progId);
        openWithDeleted = openWithDeleted || result.deleted;
        openWithComplete = openWithComplete && !result.failed;
    }
    if (tree || application || classKey || openWithDeleted) {
        platform::NotifyAssociationsChanged();
    }
    const bool allDone = !options.all || (classKey && openWithComplete && removal.typesRead);
    return tree && application && allDone ? Outcome::Done : Outcome::Failed;
}

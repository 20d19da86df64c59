// Backup and defaults file names, and backups that never replace one another.
#include "output/backup_file.h"

#include "output/text.h"
#include "output/whole_file.h"
#include "platform/platform.h"

namespace {

constexpr const wchar_t* kDeviceNames[] = {L"CON", L"PRN", L"AUX", L"NUL"};
constexpr const wchar_t* kNumberedDevices[] = {L"COM", L"LPT"};
// What follows COM or LPT in a device name: a digit, or the superscript one,
// two or three of Latin-1 ("Naming Files, Paths, and Namespaces").
constexpr wchar_t kDeviceNumbers[] = L"0123456789\u00B9\u00B2\u00B3";

bool IsForbidden(wchar_t ch) {
    return ch < 0x20 || std::wstring(L"<>:\"/\\|?*").find(ch) != std::wstring::npos;
}

std::wstring UpperAscii(std::wstring text) {
    for (wchar_t& ch : text) {
        if (ch >= L'a' && ch <= L'z') {
            ch = static_cast<wchar_t>(ch - L'a' + L'A');
        }
    }
    return text;
}

// Whether part, ignoring ASCII case, is a name Windows opens as a device in
// every folder.
bool IsDeviceName(const std::wstring& part) {
    const std::wstring upper = UpperAscii(part);
    for (const wchar_t* device : kDeviceNames) {
        if (upper == device) {
            return true;
        }
    }
    for (const wchar_t* device : kNumberedDevices) {
        if (upper.size() == 4 && upper.compare(0, 3, device) == 0 &&
            std::wstring(kDeviceNumbers).find(upper[3]) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

// More backups of one name than this are not looked for.
constexpr int kMaxBackupNumber = 9999;

bool PathFits(const std::wstring& target) {
    if (registry::Utf16Length(target + L".tmp") > platform::kMaxPathChars) {
        Print(L"The backup path is too long: %ls\n", target.c_str());
        return false;
    }
    return true;
}

// Whether the file at path holds exactly bytes.
bool HoldsBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> existing;
    return platform::ReadWholeFile(path, existing) && existing == bytes;
}

// The first number from first on whose name no file has, or whose file
// holds bytes already (then holds is true); past kMaxBackupNumber when every
// name is another backup's.
int BackupNumber(const std::wstring& directory, const std::wstring& stem,
                 const std::vector<std::uint8_t>& bytes, int first, bool& holds) {
    holds = false;
    int number = first;
    for (; number <= kMaxBackupNumber; ++number) {
        const std::wstring path = NumberedBackupPath(directory, stem, number);
        if (!platform::IsExistingFile(path)) {
            break;
        }
        if (HoldsBytes(path, bytes)) {
            holds = true;
            break;
        }
    }
    return number;
}

// Writes bytes to target unless a file has that name; prints why not when it
// could not be written at all.
whole_file::Written WriteNewBackup(const std::wstring& target,
                                   const std::vector<std::uint8_t>& bytes) {
    using whole_file::Written;
    const Written written =
        whole_file::Write(target, bytes.data(), bytes.size(), whole_file::Existing::Keep);
    if (written == Written::NotCreated) {
        Print(L"Failed to create export file: %ls\n", target.c_str());
    } else if (written == Written::NotWritten) {
        Print(L"Failed to export registry keys to %ls\n", target.c_str());
    }
    return written;
}

}  // namespace

std::wstring BackupFileStem(const std::wstring& name) {
    std::wstring stem = name;
    for (wchar_t& ch : stem) {
        if (IsForbidden(ch)) {
            ch = L'_';
        }
    }
    // The part before the first dot, less the spaces Windows drops after a
    // device name ("CON .reg" is still the console).
    const std::wstring part = stem.substr(0, stem.find(L'.'));
    const std::size_t deviceEnd = part.find_last_not_of(L' ') + 1;
    if (IsDeviceName(part.substr(0, deviceEnd))) {
        stem.insert(deviceEnd, 1, L'_');
    }
    for (std::size_t end = stem.size(); end > 0 && (stem[end - 1] == L'.' || stem[end - 1] == L' ');
         --end) {
        stem[end - 1] = L'_';
    }
    return stem;
}

std::wstring NumberedBackupPath(const std::wstring& directory, const std::wstring& stem,
                                int number) {
    const std::wstring suffix = number == 1 ? L"" : L" (" + std::to_wstring(number) + L")";
    return directory + L"\\" + stem + suffix + L".reg";
}

std::wstring BackupFilePath(const std::wstring& directory, const std::wstring& stem,
                            const std::vector<std::uint8_t>& bytes) {
    bool holds = false;
    const int number = BackupNumber(directory, stem, bytes, 1, holds);
    return NumberedBackupPath(directory, stem, number <= kMaxBackupNumber ? number : kMaxBackupNumber);
}

std::optional<std::wstring> WriteBackupFile(const std::wstring& directory,
                                            const std::wstring& stem,
                                            const std::vector<std::uint8_t>& bytes) {
    using whole_file::Written;
    bool holds = false;
    for (int number = BackupNumber(directory, stem, bytes, 1, holds); number <= kMaxBackupNumber;
         number = BackupNumber(directory, stem, bytes, number + 1, holds)) {
        const std::wstring target = NumberedBackupPath(directory, stem, number);
        if (!PathFits(target)) {
            return std::nullopt;
        }
        // A name taken since it was looked at is passed over like any other.
        const Written written = holds ? Written::Whole : WriteNewBackup(target, bytes);
        if (written == Written::Whole) {
            return target;
        }
        if (written != Written::NameTaken) {
            return std::nullopt;
        }
    }
    Print(L"Failed to create export file: %ls\n",
          NumberedBackupPath(directory, stem, kMaxBackupNumber).c_str());
    return std::nullopt;
}

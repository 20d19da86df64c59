// Removal: writes a registry-editor backup of a client's registration beside
// the executable, then deletes the client's key tree, its
// RegisteredApplications entry and, when asked, its class. Nothing is deleted
// unless the backup was written whole, and a backup holds every value exactly
// as stored, so that `reg import` of it undoes the removal.
#include <algorithm>

#include "marovendel.h"
#include "platform/platform.h"

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registry::Status;
using registry::ValueData;

namespace {

// The backup as it is built, line by line, and what its encoding must carry.
struct ExportFile {
    std::wstring text;          // lines, each ending with CR LF
    bool needsUnicode = false;  // something an 8-bit file cannot hold faithfully
    bool failed = false;        // something could not be read or represented
    bool holdsEntries = false;
};

constexpr std::size_t kChildPathCapacity = 1024;
// Hex data lines are wrapped once they reach this many characters, as the
// registry editor does.
constexpr std::size_t kHexLineLimit = 77;

bool IsPrintableAscii(const std::wstring& text) {
    for (wchar_t ch : text) {
        if (ch < 0x20 || ch > 0x7E) {
            return false;
        }
    }
    return true;
}

bool HasLineBreak(const std::wstring& text) {
    return text.find_first_of(L"\r\n") != std::wstring::npos;
}

void AppendLine(ExportFile& file, const std::wstring& line) {
    file.text += line;
    file.text += L"\r\n";
}

const wchar_t* RootName(RootKey root) {
    return root == RootKey::CurrentUser ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE";
}

// A section line names a key; a path that cannot stand on one line fails the
// export.
void WriteSectionLine(ExportFile& file, RootKey root, const std::wstring& path) {
    if (HasLineBreak(path)) {
        file.failed = true;
        return;
    }
    file.needsUnicode = file.needsUnicode || !IsPrintableAscii(path);
    AppendLine(file, L"[" + std::wstring(RootName(root)) + L"\\" + path + L"]");
    file.holdsEntries = true;
}

// Appends text as quoted string data: \ and " escaped, nothing else changed.
void EscapeAndWriteString(ExportFile& file, std::wstring& line, const std::wstring& text) {
    file.needsUnicode = file.needsUnicode || !IsPrintableAscii(text);
    line += L'"';
    for (wchar_t ch : text) {
        if (ch == L'\\' || ch == L'"') {
            line += L'\\';
        }
        line += ch;
    }
    line += L'"';
}

// The string a REG_SZ value holds, when a quoted string can carry it: one
// terminator at the very end, no other NUL, no control character.
bool QuotableString(const ValueData& value, std::wstring& text) {
    const std::vector<std::uint8_t>& bytes = value.bytes;
    if (value.type != registry::kRegSz || bytes.size() < 2 || bytes.size() % 2 != 0 ||
        bytes[bytes.size() - 1] != 0 || bytes[bytes.size() - 2] != 0) {
        return false;
    }
    text = registry::StringFromBytes(bytes);
    if (registry::Utf16Length(text) * 2 + 2 != bytes.size()) {
        return false;  // a NUL before the terminator
    }
    for (wchar_t ch : text) {
        if (ch < 0x20) {
            return false;
        }
    }
    return true;
}

// "hex:" or "hex(N):" and the bytes, wrapped with ",\" and a two-space indent
// as the registry editor wraps them. lineLength is what the line already
// holds.
void AppendHex(std::wstring& line, std::size_t lineLength, std::uint32_t type,
               const std::vector<std::uint8_t>& bytes) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring prefix = L"hex:";
    if (type != registry::kRegBinary) {
        std::wstring number;
        for (std::uint32_t rest = type; number.empty() || rest != 0; rest >>= 4) {
            number.insert(number.begin(), kDigits[rest & 0xF]);
        }
        prefix = L"hex(" + number + L"):";
    }
    line += prefix;
    lineLength += prefix.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0xF];
        if (i + 1 == bytes.size()) {
            break;
        }
        line += L',';
        lineLength += 3;
        if (lineLength >= kHexLineLimit) {
            line += L"\\\r\n  ";
            lineLength = 2;
        }
    }
}

std::wstring DwordText(const std::vector<std::uint8_t>& bytes) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text = L"dword:";
    for (int i = 3; i >= 0; --i) {
        text += kDigits[bytes[static_cast<std::size_t>(i)] >> 4];
        text += kDigits[bytes[static_cast<std::size_t>(i)] & 0xF];
    }
    return text;
}

// One entry: the key's section line, the value's name and data, an empty
// line. Every type is written as the registry editor writes it, so the entry
// imports back to the same type and bytes.
void WriteRegValueToFile(ExportFile& file, RootKey root, const std::wstring& path,
                         const std::wstring& name, const ValueData& value) {
    if (HasLineBreak(name)) {
        file.failed = true;
        return;
    }
    WriteSectionLine(file, root, path);
    const bool isDword = value.type == registry::kRegDword && value.bytes.size() == 4;
    std::wstring line;
    if (name.empty() && !isDword) {
        line = L"@";
    } else {
        EscapeAndWriteString(file, line, name);
    }
    line += L'=';
    std::wstring text;
    if (isDword) {
        line += DwordText(value.bytes);
    } else if (QuotableString(value, text)) {
        EscapeAndWriteString(file, line, text);
    } else {
        const std::uint32_t type = value.type;
        // Text in hex is UTF-16, which only the Unicode form reads back as such.
        if (type == registry::kRegSz || type == registry::kRegExpandSz ||
            type == registry::kRegMultiSz) {
            file.needsUnicode = true;
        }
        AppendHex(line, registry::Utf16Length(line), type, value.bytes);
    }
    AppendLine(file, line);
    AppendLine(file, L"");
}

// How often a value that keeps outgrowing its buffer is read again.
constexpr int kReadAttempts = 8;

// Larger buffer sizes after a read found a value larger than sizes: what the
// key reports now, and at least twice as much as before.
void GrowSizes(const Key& key, registry::KeyInfo& sizes) {
    registry::KeyInfo now;
    const bool asked = registry::QueryInfo(key, now) == kSuccess;
    sizes.maxValueNameChars = std::max<std::uint32_t>(asked ? now.maxValueNameChars : 0,
                                                      sizes.maxValueNameChars * 2 + 1);
    sizes.maxValueDataBytes = std::max<std::uint32_t>(asked ? now.maxValueDataBytes : 0,
                                                      sizes.maxValueDataBytes * 2 + 2);
}

// Reads value index of key into name and data, growing the buffers when the
// value is larger than the key reported (it may have grown since).
Status ReadValueAt(const Key& key, std::uint32_t index, registry::KeyInfo& sizes,
                   std::wstring& name, ValueData& data) {
    Status status = kSuccess;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        status = registry::EnumValue(key, index, sizes.maxValueNameChars, sizes.maxValueDataBytes,
                                     name, data);
        if (status != registry::kMoreData) {
            return status;
        }
        GrowSizes(key, sizes);
    }
    return status;
}

// Writes every value of key. A value that cannot be read fails the export,
// and so does one that went missing: the values after it have moved up, so
// one of them would be left out.
void ExportValues(ExportFile& file, RootKey root, const Key& key, const std::wstring& path,
                  registry::KeyInfo& info) {
    for (std::uint32_t index = 0; index < info.valueCount && !file.failed; ++index) {
        std::wstring name;
        ValueData data;
        if (ReadValueAt(key, index, info, name, data) != kSuccess) {
            file.failed = true;
            return;
        }
        WriteRegValueToFile(file, root, path, name, data);
    }
}

void ExportRegistryKeyRecursively(ExportFile& file, RootKey root, const Key& key,
                                  const std::wstring& path);

// Writes every subkey of key with everything beneath it, depth first.
void ExportSubkeys(ExportFile& file, RootKey root, const Key& key, const std::wstring& path,
                   std::uint32_t subkeyCount) {
    for (std::uint32_t index = 0; index < subkeyCount && !file.failed; ++index) {
        std::wstring name;
        std::wstring childPath;
        Key child;
        if (registry::EnumKey(key, index, registry::kMaxKeyNameChars, name) != kSuccess ||
            !FormatBounded(childPath, kChildPathCapacity, L"%ls\\%ls", path.c_str(), name.c_str()) ||
            registry::OpenKey(key, name, Access::Read, child) != kSuccess) {
            file.failed = true;
            return;
        }
        ExportRegistryKeyRecursively(file, root, child, childPath);
    }
}

// Writes the values of key, then of every key beneath it. Anything that
// exists but cannot be read fails the export: a backup that silently left it
// out would lose it.
void ExportRegistryKeyRecursively(ExportFile& file, RootKey root, const Key& key,
                                  const std::wstring& path) {
    registry::KeyInfo info;
    if (registry::QueryInfo(key, info) != kSuccess) {
        file.failed = true;
        return;
    }
    ExportValues(file, root, key, path, info);
    if (info.valueCount == 0 && info.subkeyCount == 0) {
        // An empty key has no value to carry its section line; give it its own.
        WriteSectionLine(file, root, path);
        AppendLine(file, L"");
    }
    ExportSubkeys(file, root, key, path, info.subkeyCount);
}

// The value named name of key, read whole however large it is.
Status QueryWholeValue(const Key& key, const std::wstring& name, ValueData& value) {
    registry::KeyInfo sizes;
    Status status = registry::QueryInfo(key, sizes);
    if (status != kSuccess) {
        return status;
    }
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        status = registry::QueryValue(key, name.c_str(), sizes.maxValueDataBytes, value);
        if (status != registry::kMoreData) {
            return status;
        }
        GrowSizes(key, sizes);
    }
    return status;
}

// The RegisteredApplications value named clientName, if there is one.
void ExportRegisteredApplication(ExportFile& file, RootKey root, const std::wstring& clientName) {
    Key applications;
    const Status opened =
        registry::OpenKey(root, kRegisteredApplicationsPath, Access::Read, applications);
    if (opened != kSuccess) {
        Print(L"Failed to open RegisteredApplications key.\n");
        file.failed = file.failed || opened != registry::kFileNotFound;
        return;
    }
    ValueData value;
    const Status read = QueryWholeValue(applications, clientName, value);
    if (read == kSuccess) {
        WriteRegValueToFile(file, root, kRegisteredApplicationsPath, clientName, value);
    } else if (read != registry::kFileNotFound) {
        file.failed = true;
    }
}

// The file's bytes: 8-bit when every character is printable ASCII (and
// line ends), else UTF-16LE with a byte-order mark.
std::vector<std::uint8_t> Encode(const ExportFile& file) {
    if (!file.needsUnicode) {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(file.text.size());
        for (wchar_t ch : file.text) {
            bytes.push_back(static_cast<std::uint8_t>(ch));
        }
        return bytes;
    }
    std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
    const std::vector<std::uint8_t> body = registry::ToUtf16Bytes(file.text);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

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

bool BackupPaths(const std::wstring& clientName, std::wstring& target, std::wstring& temporary) {
    std::wstring directory;
    if (!platform::GetExecutableDirectory(directory)) {
        Print(L"Failed to create export file: %ls.reg\n", clientName.c_str());
        return false;
    }
    target = directory + L"\\" + clientName + L".reg";
    temporary = target + L".tmp";
    if (registry::Utf16Length(temporary) > platform::kMaxPathChars) {
        Print(L"The backup path is too long: %ls\n", target.c_str());
        return false;
    }
    return true;
}

// Writes the tree at path when it exists. One that exists but cannot be
// opened fails the export.
void ExportTreeIfPresent(ExportFile& file, RootKey root, const std::wstring& path) {
    Key key;
    const Status opened = registry::OpenKey(root, path, Access::Read, key);
    if (opened == kSuccess) {
        ExportRegistryKeyRecursively(file, root, key, path);
    } else if (opened != registry::kFileNotFound) {
        file.failed = true;
    }
}

// Writes the backup: the client tree, its RegisteredApplications value and,
// unless classKeyPath is empty, the class tree. False when it could not be
// written whole, and then nothing may be deleted.
bool BackUpRegistration(RootKey root, const std::wstring& clientName,
                        const std::wstring& clientKeyPath, const std::wstring& classKeyPath) {
    std::wstring target;
    std::wstring temporary;
    if (!BackupPaths(clientName, target, temporary)) {
        return false;
    }
    ExportFile file;
    AppendLine(file, L"Windows Registry Editor Version 5.00");
    AppendLine(file, L"");
    ExportTreeIfPresent(file, root, clientKeyPath);
    ExportRegisteredApplication(file, root, clientName);
    if (!classKeyPath.empty()) {
        ExportTreeIfPresent(file, root, classKeyPath);
    }
    if (file.failed) {
        Print(L"Failed to export registry keys to %ls\n", target.c_str());
        return false;
    }
    if (!file.holdsEntries) {
        // Keep any earlier backup rather than replace it with an empty one.
        Print(L"Nothing to export for %ls.\n", clientName.c_str());
        return true;
    }
    return WriteFileWhole(target, temporary, Encode(file));
}

bool DeleteClientTree(RootKey root, const std::wstring& clientKeyPath) {
    if (registry::DeleteTree(root, clientKeyPath) != kSuccess) {
        Print(L"Failed to delete browser registry key: %ls\n", clientKeyPath.c_str());
        return false;
    }
    Print(L"Successfully deleted browser registry key: %ls\n", clientKeyPath.c_str());
    return true;
}

bool DeleteRegisteredApplication(RootKey root, const std::wstring& clientName) {
    Key applications;
    if (registry::OpenKey(root, kRegisteredApplicationsPath, Access::Write, applications) !=
        kSuccess) {
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

bool DeleteBrowser(RootKey root, const std::wstring& clientName, const DeleteOptions& options) {
    std::wstring clientKeyPath;
    std::wstring classKeyPath;
    FormatBounded(clientKeyPath, kKeyPathCapacity, L"%ls\\%ls", kStartMenuInternetPath,
                  clientName.c_str());
    if (options.removeClass) {
        FormatBounded(classKeyPath, kKeyPathCapacity, L"%ls\\%lsURL", kClassesPath,
                      clientName.c_str());
    }
    if (!options.noBackup && !BackUpRegistration(root, clientName, clientKeyPath, classKeyPath)) {
        return false;
    }

    const bool tree = DeleteClientTree(root, clientKeyPath);
    const bool application = DeleteRegisteredApplication(root, clientName);
    const bool classKey = options.removeClass && DeleteClassKey(root, classKeyPath);
    if (tree || application || classKey) {
        platform::NotifyAssociationsChanged();
    }
    return tree && application && (classKey || !options.removeClass);
}

// The registry editor's import format, from the writer's side: a section
// line per value, @= for the default value, \ and " escaped in quoted
// strings, dword:%08x, and hex: or hex(N): for every other type, wrapped as
// the registry editor wraps it. Nothing is skipped in silence: what cannot be
// read or represented fails the file.
#include "output/reg_file.h"

#include <algorithm>

using registry::Access;
using registry::Key;
using registry::kSuccess;
using registry::RootKey;
using registry::Status;
using registry::ValueData;

namespace reg_file {

namespace {

// Child key paths longer than this are not written.
constexpr std::size_t kMaxChildPathChars = 1023;
// Hex data lines are wrapped once they reach this many characters, as the
// registry editor does.
constexpr std::size_t kHexLineLimit = 77;
// How often a value that keeps outgrowing its buffer is read again.
constexpr int kReadAttempts = 8;

constexpr wchar_t kDigits[] = L"0123456789abcdef";

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

const wchar_t* RootName(RootKey root) {
    return root == RootKey::CurrentUser ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE";
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
    std::wstring text = L"dword:";
    for (int i = 3; i >= 0; --i) {
        text += kDigits[bytes[static_cast<std::size_t>(i)] >> 4];
        text += kDigits[bytes[static_cast<std::size_t>(i)] & 0xF];
    }
    return text;
}

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

}  // namespace

RegFile::RegFile() {
    AppendLine(L"Windows Registry Editor Version 5.00");
    AppendLine(L"");
}

void RegFile::AppendLine(const std::wstring& line) {
    text_ += line;
    text_ += L"\r\n";
}

// A section line names a key; a path that cannot stand on one line fails the
// file.
void RegFile::WriteSectionLine(RootKey root, const std::wstring& path) {
    if (HasLineBreak(path)) {
        failed_ = true;
        return;
    }
    needsUnicode_ = needsUnicode_ || !IsPrintableAscii(path);
    AppendLine(L"[" + std::wstring(RootName(root)) + L"\\" + path + L"]");
    holdsEntries_ = true;
}

// Appends text as quoted string data: \ and " escaped, nothing else changed.
void RegFile::EscapeAndWriteString(std::wstring& line, const std::wstring& text) {
    needsUnicode_ = needsUnicode_ || !IsPrintableAscii(text);
    line += L'"';
    for (wchar_t ch : text) {
        if (ch == L'\\' || ch == L'"') {
            line += L'\\';
        }
        line += ch;
    }
    line += L'"';
}

// One entry: the key's section line, the value's name and data, an empty
// line. Every type is written as the registry editor writes it, so the entry
// imports back to the same type and bytes.
void RegFile::WriteRegValueToFile(RootKey root, const std::wstring& path, const std::wstring& name,
                                  const ValueData& value) {
    if (HasLineBreak(name)) {
        failed_ = true;
        return;
    }
    WriteSectionLine(root, path);
    const bool isDword = value.type == registry::kRegDword && value.bytes.size() == 4;
    std::wstring line;
    if (name.empty() && !isDword) {
        line = L"@";
    } else {
        EscapeAndWriteString(line, name);
    }
    line += L'=';
    std::wstring text;
    if (isDword) {
        line += DwordText(value.bytes);
    } else if (QuotableString(value, text)) {
        EscapeAndWriteString(line, text);
    } else {
        const std::uint32_t type = value.type;
        // Text in hex is UTF-16, which only the Unicode form reads back as such.
        if (type == registry::kRegSz || type == registry::kRegExpandSz ||
            type == registry::kRegMultiSz) {
            needsUnicode_ = true;
        }
        AppendHex(line, registry::Utf16Length(line), type, value.bytes);
    }
    AppendLine(line);
    AppendLine(L"");
}

// Writes every value of key. A value that cannot be read fails the file, and
// so does one that went missing: the values after it have moved up, so one
// of them would be left out.
void RegFile::ExportValues(RootKey root, const Key& key, const std::wstring& path,
                           registry::KeyInfo& info) {
    for (std::uint32_t index = 0; index < info.valueCount && !failed_; ++index) {
        std::wstring name;
        ValueData data;
        if (ReadValueAt(key, index, info, name, data) != kSuccess) {
            failed_ = true;
            return;
        }
        WriteRegValueToFile(root, path, name, data);
    }
}

// Writes every subkey of key with everything beneath it, depth first.
void RegFile::ExportSubkeys(RootKey root, const Key& key, const std::wstring& path,
                            std::uint32_t subkeyCount) {
    for (std::uint32_t index = 0; index < subkeyCount && !failed_; ++index) {
        std::wstring name;
        Key child;
        if (registry::EnumKey(key, index, registry::kMaxKeyNameChars, name) != kSuccess ||
            registry::Utf16Length(path + L"\\" + name) > kMaxChildPathChars ||
            registry::OpenKey(key, name, Access::Read, child) != kSuccess) {
            failed_ = true;
            return;
        }
        ExportRegistryKeyRecursively(root, child, path + L"\\" + name);
    }
}

// Writes the values of key, then of every key beneath it.
void RegFile::ExportRegistryKeyRecursively(RootKey root, const Key& key, const std::wstring& path) {
    registry::KeyInfo info;
    if (registry::QueryInfo(key, info) != kSuccess) {
        failed_ = true;
        return;
    }
    ExportValues(root, key, path, info);
    if (info.valueCount == 0 && info.subkeyCount == 0) {
        // An empty key has no value to carry its section line; give it its own.
        WriteSectionLine(root, path);
        AppendLine(L"");
    }
    ExportSubkeys(root, key, path, info.subkeyCount);
}

void RegFile::AddTreeIfPresent(RootKey root, const std::wstring& path) {
    Key key;
    const Status opened = registry::OpenKey(root, path, Access::Read, key);
    if (opened == kSuccess) {
        ExportRegistryKeyRecursively(root, key, path);
    } else if (opened != registry::kFileNotFound) {
        failed_ = true;
    }
}

Status RegFile::AddValueIfPresent(RootKey root, const Key& key, const std::wstring& path,
                                  const std::wstring& name) {
    ValueData value;
    const Status read = QueryWholeValue(key, name, value);
    if (read == kSuccess) {
        WriteRegValueToFile(root, path, name, value);
    } else if (read != registry::kFileNotFound) {
        failed_ = true;
    }
    return read;
}

std::vector<std::uint8_t> RegFile::Bytes() const {
    if (!needsUnicode_) {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(text_.size());
        for (wchar_t ch : text_) {
            bytes.push_back(static_cast<std::uint8_t>(ch));
        }
        return bytes;
    }
    std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
    const std::vector<std::uint8_t> body = registry::ToUtf16Bytes(text_);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

}  // namespace reg_file

// What the tests of backups compare a backup file with: its path, its bytes
// as the registry editor's 8-bit or Unicode file (UTF-16LE after its mark,
// as launchers' .ini files come too), and those bytes shown readably in a
// failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/registry.h"

namespace backup_bytes {

inline const std::wstring kClient = L"SOFTWARE\\Clients\\StartMenuInternet\\Foo";
inline const std::wstring kBackup = L"C:\\Tools\\Foo.reg";

inline std::vector<std::uint8_t> Ascii(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

inline std::vector<std::uint8_t> Unicode(const std::wstring& text) {
    std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
    std::vector<std::uint8_t> body = registry::ToUtf16Bytes(text);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

inline std::string Shown(const std::optional<std::vector<std::uint8_t>>& bytes) {
    if (!bytes) {
        return "(no file)";
    }
    std::string text;
    for (std::uint8_t b : *bytes) {
        text += (b >= 0x20 && b < 0x7F) || b == '\n' ? static_cast<char>(b) : '.';
    }
    return text;
}

}  // namespace backup_bytes

// Backups in the registry editor's import format: every value of every key
// written as the registry editor writes it, so that `reg import` (or a
// double-click in Explorer) restores each one with its type and bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "registry/registry.h"

namespace reg_file {

// A file built entry by entry in memory, to be written whole.
class RegFile {
public:
    // Starts with the header line and an empty line.
    RegFile();

    // Appends the key at root\path with its values and every key beneath it
    // (values first, then subkeys depth first), when the key exists. One that
    // exists but cannot be read whole fails the file.
    void AddTreeIfPresent(registry::RootKey root, const std::wstring& path);

    // Appends the value name of key, which is root\path, read whole. Returns
    // the read's status; one that exists but cannot be read fails the file.
    registry::Status AddValueIfPresent(registry::RootKey root, const registry::Key& key,
                                       const std::wstring& path, const std::wstring& name);

    // Something the caller meant to back up could not be read.
    void MarkFailed() { failed_ = true; }
    bool Failed() const { return failed_; }
    // Whether anything beyond the header was added.
    bool HoldsEntries() const { return holdsEntries_; }

    // The file's bytes: 8-bit when every character is printable ASCII (and
    // line ends), else UTF-16LE with a byte-order mark.
    std::vector<std::uint8_t> Bytes() const;

private:
    void AppendLine(const std::wstring& line);
    void WriteSectionLine(registry::RootKey root, const std::wstring& path);
    void EscapeAndWriteString(std::wstring& line, const std::wstring& text);
    void WriteRegValueToFile(registry::RootKey root, const std::wstring& path,
                             const std::wstring& name, const registry::ValueData& value);
    void ExportValues(registry::RootKey root, const registry::Key& key, const std::wstring& path,
                      registry::KeyInfo& info);
    void ExportSubkeys(registry::RootKey root, const registry::Key& key, const std::wstring& path,
                       std::uint32_t subkeyCount);
    void ExportRegistryKeyRecursively(registry::RootKey root, const registry::Key& key,
                                      const std::wstring& path);

    std::wstring text_;          // lines, each ending with CR LF
    bool needsUnicode_ = false;  // something an 8-bit file cannot hold faithfully
    bool failed_ = false;        // something could not be read or represented
    bool holdsEntries_ = false;
};

}  // namespace reg_file

// The default-associations file as Windows reads it back: the Version of an
// earlier file and what it associates, so that a file written again with
// -once raises its Version only when what it suggests has changed. Windows
// applies a suggestion once per Version ("Policy CSP - ApplicationDefaults"):
// raising it without a change would impose the browser again on users who
// have since chosen another.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace default_associations {

// Whether XML 1.0 can hold code at all, escaped or not. The file holds U+FFFD
// in place of any other.
bool IsXmlCharacter(std::uint32_t code);

// One Association element, its attributes as the code points a parser
// reads from them.
struct Entry {
    std::u32string identifier;
    std::u32string progId;
    std::u32string applicationName;
};

// An entry as the file holds the text it is written from.
Entry EntryOf(const std::wstring& identifier, const std::wstring& progId,
              const std::wstring& applicationName);

// What an earlier file holds: the DefaultAssociations element's Version,
// when it has one that is a number, and its Association elements.
struct Earlier {
    std::optional<std::uint32_t> version;
    std::vector<Entry> entries;
};
// Reads a file's bytes, UTF-8 text or UTF-16 after its byte-order mark;
// anything that is not these elements is passed over, and a file without
// them holds no Version and no entries.
Earlier ReadEarlier(const std::string& xml);

// Whether entries, in any order, differ from what the earlier file associates.
bool AssociatesDifferently(const Earlier& earlier, const std::vector<Entry>& entries);

// The Version of a new file of entries: one higher than the earlier file's
// when that has a Version and associates anything differently, the same
// when it associates the same, and 1 without an earlier Version.
std::uint32_t NewVersion(const std::optional<Earlier>& earlier, const std::vector<Entry>& entries);

}  // namespace default_associations

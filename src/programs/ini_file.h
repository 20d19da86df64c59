// An .ini file read from its bytes, the way the PortableApps.com Launcher
// reads its own and its user's: names of sections and keys ignore case,
// blanks around a name or a value do not count, and a line that starts with
// ; is a comment. Pure: the caller reads the bytes, and turns ANSI bytes into
// text with the code page it knows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ini_file {

struct Entry {
    std::wstring section;  // empty before the first section's header
    std::wstring key;
    std::wstring value;  // as written, blanks around it left out
};

// The text of an .ini file: UTF-16LE after its byte-order mark; UTF-8 after
// its mark, or without one when the bytes are valid UTF-8 (ASCII is);
// otherwise what ansi makes of the bytes.
std::wstring Decode(const std::vector<std::uint8_t>& bytes,
                    std::wstring (*ansi)(const std::vector<std::uint8_t>&));

// Every key=value line of text in file order, with the section it lies in;
// other lines are left out.
std::vector<Entry> Entries(const std::wstring& text);

// The value of the first entry of key in a section named section, as
// GetPrivateProfileStringW gives it: one pair of enclosing quotes left out.
// Nothing when no such entry exists.
std::optional<std::wstring> Value(const std::vector<Entry>& entries, const std::wstring& section,
                                  const std::wstring& key);

}  // namespace ini_file

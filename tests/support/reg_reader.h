// A reader for registry-editor (.reg) files, written apart from the program's
// own writer so that a backup can be checked by applying it, the way
// `reg import` would, to an empty in-memory store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reg_reader {

// Applies file (either encoding: UTF-16LE with byte-order mark, or 8-bit) to
// the in-memory registry: every section creates its key, every value line sets
// its value. False, with a reason, when the file is not well formed.
bool ApplyRegFile(const std::vector<std::uint8_t>& file, std::string& error);

}  // namespace reg_reader

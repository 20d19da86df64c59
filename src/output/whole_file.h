// Files that are either whole or not there: written to a temporary file
// beside the target, then moved into place in one step, so that a failure or
// a crash half-way never leaves a cut-off backup or defaults file behind.
#pragma once

#include <cstddef>
#include <string>

namespace whole_file {

// What to do when a file already has the target's name.
enum class Existing {
    Replace,  // the new file takes its place
    Keep,     // the earlier file stays, and the write reports NameTaken
};

enum class Written {
    Whole,       // target holds exactly the bytes given
    NotCreated,  // the temporary file could not be created
    NameTaken,   // Existing::Keep, and a file has the name (perhaps made meanwhile)
    NotWritten,  // the bytes could not all be written or moved into place
};

// Writes count bytes to <target>.tmp and moves it to target. On every result
// but Whole the temporary file is gone and target is as it was.
Written Write(const std::wstring& target, const void* bytes, std::size_t count, Existing existing);

}  // namespace whole_file

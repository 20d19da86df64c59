// Files written whole: a temporary file, then one move.
#include "output/whole_file.h"

#include "platform/platform.h"

namespace whole_file {

Written Write(const std::wstring& target, const void* bytes, std::size_t count, Existing existing) {
    const std::wstring temporary = target + L".tmp";
    platform::File out;
    if (!platform::CreateFileForWriting(temporary, out)) {
        return Written::NotCreated;
    }
    const bool written = platform::WriteToFile(out, bytes, count);
    const bool closed = platform::CloseFile(out);
    const bool moved =
        written && closed &&
        (existing == Existing::Replace ? platform::MoveFileOver(temporary, target)
                                       : platform::MoveFileToNewName(temporary, target));
    if (moved) {
        return Written::Whole;
    }
    platform::RemoveFile(temporary);
    if (written && closed && existing == Existing::Keep && platform::IsExistingFile(target)) {
        return Written::NameTaken;
    }
    return Written::NotWritten;
}

}  // namespace whole_file

// The process that started this one, as far as the pause needs it: its
// program file's first bytes, for a higher layer to read its PE header, and
// whether it runs in this session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct ParentProcess {
    bool found = false;        // still running, and started before this process
    bool sameSession = false;  // in this process's session
    std::vector<std::uint8_t> imageStart;  // its program file's first bytes; empty when unreadable
};

// How much of the parent's program file is read: its PE header follows a DOS
// stub of a few hundred bytes.
constexpr std::size_t kParentImageStartBytes = 4096;

ParentProcess FindParentProcess();

}  // namespace platform

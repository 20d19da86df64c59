// The PE header's verdict on a dropped program.
#include "programs/program_image.h"

namespace program_image {

namespace {

constexpr std::uint16_t kX86 = 0x014C;
constexpr std::uint16_t kX64 = 0x8664;
constexpr std::uint16_t kArm = 0x01C4;
constexpr std::uint16_t kArm64 = 0xAA64;

struct Processor {
    std::uint16_t machine;
    const wchar_t* name;
    // The machine types of the programs Windows on this processor starts:
    // its own, and those it emulates or runs through WOW64 (0 ends the list).
    std::uint16_t runs[5];
};
constexpr Processor kProcessors[] = {
    {kX86, L"x86", {kX86}},
    {kX64, L"x64", {kX86, kX64}},
    {kArm, L"ARM", {kArm}},
    {kArm64, L"ARM64", {kArm64, kArm, kX86, kX64}},
};

const Processor* Find(std::uint16_t machine) {
    for (const Processor& processor : kProcessors) {
        if (processor.machine == machine) {
            return &processor;
        }
    }
    return nullptr;
}

std::uint32_t Little(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = (value << 8) | bytes[at + i];
    }
    return value;
}

// Offsets in the PE format: the DOS header's pointer to the PE signature,
// and from the signature the file header's fields and the optional header's
// subsystem (at the same place in PE32 and PE32+).
constexpr std::size_t kPeOffsetAt = 0x3C;
constexpr std::size_t kMachineAt = 4;
constexpr std::size_t kOptionalHeaderSizeAt = 20;
constexpr std::size_t kOptionalHeaderAt = 24;
constexpr std::size_t kSubsystemInOptionalHeader = 68;

}  // namespace

Header ReadHeader(const std::vector<std::uint8_t>& start) {
    Header header;
    if (start.size() < kPeOffsetAt + 4 || start[0] != 'M' || start[1] != 'Z') {
        return header;
    }
    const std::size_t pe = Little(start, kPeOffsetAt, 4);
    const std::size_t subsystemAt = pe + kOptionalHeaderAt + kSubsystemInOptionalHeader;
    if (pe > start.size() || start.size() - pe < kOptionalHeaderAt + kSubsystemInOptionalHeader + 2 ||
        start[pe] != 'P' || start[pe + 1] != 'E' || start[pe + 2] != 0 || start[pe + 3] != 0 ||
        Little(start, pe + kOptionalHeaderSizeAt, 2) < kSubsystemInOptionalHeader + 2) {
        return header;
    }
    header.valid = true;
    header.machine = static_cast<std::uint16_t>(Little(start, pe + kMachineAt, 2));
    header.subsystem = static_cast<std::uint16_t>(Little(start, subsystemAt, 2));
    return header;
}

Verdict Judge(const Header& header, std::uint16_t nativeMachine) {
    if (!header.valid ||
        (header.subsystem != kSubsystemGui && header.subsystem != kSubsystemConsole)) {
        return Verdict::NotAProgram;
    }
    const Processor* native = Find(nativeMachine);
    if (Find(header.machine) == nullptr) {
        return Verdict::OtherProcessor;
    }
    if (native != nullptr) {
        bool runs = false;
        for (std::uint16_t machine : native->runs) {
            runs = runs || (machine != 0 && machine == header.machine);
        }
        if (!runs) {
            return Verdict::OtherProcessor;
        }
    }
    return header.subsystem == kSubsystemConsole ? Verdict::ConsoleProgram : Verdict::Browser;
}

std::wstring MachineName(std::uint16_t machine) {
    if (const Processor* processor = Find(machine)) {
        return processor->name;
    }
    std::wstring name = L"machine type 0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        name += L"0123456789ABCDEF"[(machine >> shift) & 0xF];
    }
    return name;
}

bool IsWindowedProgram(const std::vector<std::uint8_t>& start) {
    const Header header = ReadHeader(start);
    return header.valid && header.subsystem == kSubsystemGui;
}

}  // namespace program_image

// The PE header's verdict on a dropped program.
#include "programs/program_image.h"

namespace program_image {

namespace {

constexpr std::uint16_t kX86 = 0x014C;
constexpr std::uint16_t kX64 = 0x8664;
constexpr std::uint16_t kArm = 0x01C4;
constexpr std::uint16_t kArm64 = 0xAA64;

// Builds named where a range starts or ends.
constexpr std::uint32_t kWindows11 = 22000;
constexpr std::uint32_t kWindows11Version24H2 = 26100;

// Programs for machine that Windows on a processor starts, in builds.
struct Runs {
    std::uint16_t machine;  // 0 ends the list
    BuildRange builds;
};
struct Processor {
    std::uint16_t machine;
    const wchar_t* name;
    // Its own programs, and those it emulates or runs through WOW64.
    Runs runs[5];
};
constexpr Processor kProcessors[] = {
    {kX86, L"x86", {{kX86, {}}}},
    {kX64, L"x64", {{kX86, {}}, {kX64, {}}}},
    {kArm, L"ARM", {{kArm, {}}}},
    {kArm64,
     L"ARM64",
     {{kArm64, {}}, {kArm, {0, kWindows11Version24H2}}, {kX86, {}}, {kX64, {kWindows11, 0}}}},
};

struct NamedBuild {
    std::uint32_t build;
    const wchar_t* name;
};
constexpr NamedBuild kNamedBuilds[] = {
    {kWindows11, L"Windows 11"},
    {kWindows11Version24H2, L"Windows 11 24H2"},
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

std::optional<BuildRange> BuildsThatRun(std::uint16_t machine, std::uint16_t nativeMachine) {
    const Processor* native = Find(nativeMachine);
    if (native == nullptr) {
        return std::nullopt;
    }
    for (const Runs& runs : native->runs) {
        if (runs.machine != 0 && runs.machine == machine) {
            return runs.builds;
        }
    }
    return std::nullopt;
}

Verdict Judge(const Header& header, std::uint16_t nativeMachine, std::uint32_t build) {
    if (!header.valid ||
        (header.subsystem != kSubsystemGui && header.subsystem != kSubsystemConsole)) {
        return Verdict::NotAProgram;
    }
    if (Find(header.machine) == nullptr) {
        return Verdict::OtherProcessor;
    }
    if (Find(nativeMachine) != nullptr) {
        const std::optional<BuildRange> builds = BuildsThatRun(header.machine, nativeMachine);
        if (!builds) {
            return Verdict::OtherProcessor;
        }
        if (build != 0 && (build < builds->from || (builds->until != 0 && build >= builds->until))) {
            return Verdict::OtherBuild;
        }
    }
    return header.subsystem == kSubsystemConsole ? Verdict::ConsoleProgram : Verdict::Browser;
}

std::wstring BuildName(std::uint32_t build) {
    std::wstring name = L"build " + std::to_wstring(build);
    for (const NamedBuild& named : kNamedBuilds) {
        if (named.build == build) {
            name += std::wstring(L" (") + named.name + L")";
        }
    }
    return name;
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

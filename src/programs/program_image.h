// What a program file's PE header says about running it as a browser: the
// subsystem it starts in and the processor it is built for, and whether this
// Windows can start it at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace program_image {

// How much of a file's start ReadHeader needs to see the header of almost
// every program: the PE header follows a DOS stub of a few hundred bytes.
constexpr std::size_t kHeaderBytes = 4096;

constexpr std::uint16_t kSubsystemGui = 2;
constexpr std::uint16_t kSubsystemConsole = 3;

struct Header {
    bool valid = false;  // an MZ file with a whole PE header in the bytes given
    std::uint16_t machine = 0;
    std::uint16_t subsystem = 0;
};

// The header in the first bytes of a file.
Header ReadHeader(const std::vector<std::uint8_t>& start);

// The builds of Windows on one processor that start programs built for
// another: from `from` up to, not including, `until` (0: every later build).
struct BuildRange {
    std::uint32_t from = 0;
    std::uint32_t until = 0;
};
// The builds of Windows on nativeMachine that start programs for machine;
// nothing when none does. On ARM64, x64 programs run from Windows 11 (build
// 22000) on ("How emulation works on Arm"), and 32-bit ARM ones no longer
// from Windows 11 24H2 (build 26100, "Arm32 to Arm64").
std::optional<BuildRange> BuildsThatRun(std::uint16_t machine, std::uint16_t nativeMachine);

// Why a program cannot be a browser on a Windows running on nativeMachine
// (0: not known) with this build (0: not known).
enum class Verdict {
    Browser,          // a windowed program this Windows runs
    NotAProgram,      // no PE header, or not a Windows desktop program
    ConsoleProgram,   // a console program: a link would open a console window
    OtherProcessor,   // built for a processor this Windows cannot run
    OtherBuild,       // built for a processor Windows on this one runs only in other builds
};
Verdict Judge(const Header& header, std::uint16_t nativeMachine, std::uint32_t build = 0);

// "build 22000 (Windows 11)", or "build N" for a build without a name here.
std::wstring BuildName(std::uint32_t build);

// The processor's name for a machine type ("ARM64"), or its number in hex.
std::wstring MachineName(std::uint16_t machine);

// Whether a file starting with these bytes is a windowed (GUI subsystem)
// program, as Explorer is and cmd, PowerShell or Python are not.
bool IsWindowedProgram(const std::vector<std::uint8_t>& start);

}  // namespace program_image

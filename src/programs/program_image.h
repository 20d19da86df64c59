// What a program file's PE header says about running it as a browser: the
// subsystem it starts in and the processor it is built for, and whether this
// Windows can start it at all.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Why a program cannot be a browser on a Windows running on nativeMachine
// (0: not known).
enum class Verdict {
    Browser,          // a windowed program this Windows runs
    NotAProgram,      // no PE header, or not a Windows desktop program
    ConsoleProgram,   // a console program: a link would open a console window
    OtherProcessor,   // built for a processor this Windows cannot run
};
Verdict Judge(const Header& header, std::uint16_t nativeMachine);

// The processor's name for a machine type ("ARM64"), or its number in hex.
std::wstring MachineName(std::uint16_t machine);

// Whether a file starting with these bytes is a windowed (GUI subsystem)
// program, as Explorer is and cmd, PowerShell or Python are not.
bool IsWindowedProgram(const std::vector<std::uint8_t>& start);

}  // namespace program_image

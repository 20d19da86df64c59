// The start of a program file as a linker writes it: a DOS header whose
// pointer leads to the PE signature, the file header with its machine type,
// and an optional header with its subsystem.
#pragma once

#include <cstdint>
#include <vector>

namespace test_program {

constexpr std::uint16_t kX86 = 0x014C;
constexpr std::uint16_t kX64 = 0x8664;
constexpr std::uint16_t kArm64 = 0xAA64;
constexpr std::uint16_t kArm = 0x01C4;  // 32-bit ARM (Thumb-2)
constexpr std::uint16_t kGui = 2;
constexpr std::uint16_t kConsole = 3;

inline void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline std::vector<std::uint8_t> Program(std::uint16_t machine = kX64,
                                         std::uint16_t subsystem = kGui) {
    constexpr std::size_t kPe = 0x80;
    const bool wide = machine != kX86 && machine != kArm;  // PE32+ for 64-bit machines
    std::vector<std::uint8_t> bytes(0x200, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put16(bytes, 0x3C, kPe);
    bytes[kPe] = 'P';
    bytes[kPe + 1] = 'E';
    Put16(bytes, kPe + 4, machine);
    Put16(bytes, kPe + 20, wide ? 0xF0 : 0xE0);  // SizeOfOptionalHeader
    Put16(bytes, kPe + 24, wide ? 0x20B : 0x10B);
    Put16(bytes, kPe + 24 + 68, subsystem);
    return bytes;
}

}  // namespace test_program

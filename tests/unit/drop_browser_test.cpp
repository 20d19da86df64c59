// The drop: what a dropped file must be to be registered as a browser, and
// the lines that refuse everything else.
#include "program_image.h"
#include "support/program_file.h"
#include "support/run_command.h"

namespace {

using program_image::Verdict;
using namespace test_program;

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<std::uint8_t> Poked(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

// The PE header decides: a windowed program for a processor this Windows
// starts is a browser; a console program, a program for another processor
// and anything without a whole header are not.
TEST(ProgramImageTest, TheHeaderDecidesWhetherThisWindowsStartsABrowser) {
    const struct {
        const char* id;
        std::vector<std::uint8_t> bytes;
        std::uint16_t native;
        Verdict verdict;
    } cases[] = {
        {"x64 GUI on x64", Program(kX64, kGui), kX64, Verdict::Browser},
        {"x86 GUI on x64", Program(kX86, kGui), kX64, Verdict::Browser},
        {"x86 GUI on x86", Program(kX86, kGui), kX86, Verdict::Browser},
        {"x64 GUI on x86", Program(kX64, kGui), kX86, Verdict::OtherProcessor},
        {"ARM64 GUI on x64", Program(kArm64, kGui), kX64, Verdict::OtherProcessor},
        {"ARM64 GUI on ARM64", Program(kArm64, kGui), kArm64, Verdict::Browser},
        {"x64 GUI on ARM64", Program(kX64, kGui), kArm64, Verdict::Browser},
        {"x64 GUI, processor unknown", Program(kX64, kGui), 0, Verdict::Browser},
        {"Itanium GUI, processor unknown", Program(0x0200, kGui), 0, Verdict::OtherProcessor},
        {"x64 console", Program(kX64, kConsole), kX64, Verdict::ConsoleProgram},
        {"x86 console", Program(kX86, kConsole), kX64, Verdict::ConsoleProgram},
        {"native subsystem (a driver)", Program(kX64, 1), kX64, Verdict::NotAProgram},
        {"empty file", {}, kX64, Verdict::NotAProgram},
        {"text file", std::vector<std::uint8_t>(0x200, 'x'), kX64, Verdict::NotAProgram},
        {"DOS header only", Cut(Program(), 0x80), kX64, Verdict::NotAProgram},
        {"cut before the subsystem", Cut(Program(), 0x80 + 24 + 69), kX64, Verdict::NotAProgram},
        {"no PE signature", Poked(Program(), 0x80, 'N'), kX64, Verdict::NotAProgram},
        {"PE pointer past the end", Poked(Program(), 0x3D, 0x40), kX64, Verdict::NotAProgram},
        {"optional header too short", Poked(Program(), 0x80 + 20, 0x10), kX64,
         Verdict::NotAProgram},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(program_image::Judge(program_image::ReadHeader(c.bytes), c.native), c.verdict);
    }
}

class DropTest : public CommandTest {};

const std::wstring kExpected = L"; drop a browser's .exe or its shortcut onto Marovendel.exe.\n";

// Each refusal is one line with exit status 1, and nothing is written.
TEST_F(DropTest, WhatIsNoBrowserForThisPcIsRefusedInOneLine) {
    const std::wstring batchReason =
        L" is a batch file, which cannot receive a link safely: cmd reads & in a URL as a new "
        L"command; make a shortcut to the browser's .exe with the flags it needs, and drop that "
        L"onto Marovendel.exe.\n";
    const struct {
        const char* id;
        std::wstring dropped;
        std::vector<std::uint8_t> bytes;
        std::uint16_t native;
        std::wstring line;
    } cases[] = {
        {"console program", L"C:\\Tools\\rcedit.exe", Program(kX64, kConsole), kX64,
         L"C:\\Tools\\rcedit.exe is a console program, not a browser" + kExpected},
        {"ARM64 on x64", L"C:\\Tools\\7za.exe", Program(kArm64, kGui), kX64,
         L"C:\\Tools\\7za.exe is built for ARM64, which this Windows (x64) cannot run" + kExpected},
        {"x64 on 32-bit Windows", L"C:\\Apps\\b.exe", Program(kX64, kGui), kX86,
         L"C:\\Apps\\b.exe is built for x64, which this Windows (x86) cannot run" + kExpected},
        {"not a program", L"C:\\Apps\\empty.exe", {}, kX64,
         L"C:\\Apps\\empty.exe is not a program or a shortcut to one" + kExpected},
        {"batch file", L"C:\\Apps\\Chrome\\start.bat", {'@'}, kX64,
         L"C:\\Apps\\Chrome\\start.bat" + batchReason},
        {"command script", L"C:\\Apps\\Chrome\\start.CMD", {'@'}, kX64,
         L"C:\\Apps\\Chrome\\start.CMD" + batchReason},
        {"shortcut to a batch file", L"C:\\Users\\User\\Desktop\\Chrome.lnk", {}, kX64,
         L"C:\\Apps\\Chrome\\start.bat" + batchReason},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetNativeMachine(c.native);
        test_platform::PutFile(c.dropped, c.bytes);
        test_platform::PutFile(L"C:\\Apps\\Chrome\\start.bat", {'@'});
        test_platform::PutShortcut(L"C:\\Users\\User\\Desktop\\Chrome.lnk",
                                   L"C:\\Apps\\Chrome\\start.bat", L"");
        const CommandResult result = RunCommand({c.dropped});
        EXPECT_EQ(result.output, c.line);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(registry::memory::OperationCount(), 0u) << "a refused drop opened a key";
    }
}

// The console form registers whatever it is given.
TEST_F(DropTest, TheConsoleFormStillRegistersAConsoleProgram) {
    test_platform::PutFile(L"C:\\Tools\\rcedit.exe", Program(kX64, kConsole));
    const CommandResult result = RunCommand({L"HKCU", L"Rcedit", L"C:\\Tools\\rcedit.exe"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, L"Portable browser registered successfully.\nhttp/https: RceditURL\n");
}

}  // namespace

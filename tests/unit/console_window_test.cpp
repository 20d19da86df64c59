// The one case in which a run waits for a key before its window closes.
#include <gtest/gtest.h>

#include "platform/console_window.h"
#include "support/program_file.h"
#include "support/run_command.h"

namespace {

struct PauseCase {
    const char* started;
    // processes, input, output, hidden, window, interactive station, windowed parent,
    // parent's session
    platform::ConsoleFacts facts;
    bool pauses;
};

TEST(ConsoleWindowTest, PausesOnlyWhereAPersonCanPressAKey) {
    const PauseCase cases[] = {
        // So do a shortcut, the PortableApps.com menu and Windows Terminal as the
        // default terminal (GetConsoleWindow answers ConPTY's pseudo-window).
        {"double-click or drop in Explorer", {1, true, true, false, true, true, true, true}, true},
        {"from cmd.exe", {2, true, true, false, true, true, true, true}, false},
        {"from a batch file run by a script",
         {3, true, true, false, true, true, true, true}, false},
        {"own console, input from a file or pipe",
         {1, false, true, false, true, true, true, true}, false},
        {"own console, output into a pipe or file",
         {1, true, false, false, true, true, true, true}, false},
        {"from a console, input from a pipe",
         {2, false, true, false, true, true, true, true}, false},
        {"hidden start: WScript.Shell Run 0, Start-Process Hidden",
         {1, true, true, true, true, true, true, true}, false},
        {"no console at all (DETACHED_PROCESS)",
         {0, false, false, false, false, false, false, false}, false},
        {"console list unreadable, input a console",
         {0, true, true, false, true, true, true, true}, false},
        // Alone in a console of its own, with every handle a console, yet no
        // one can see it or press a key there.
        {"CREATE_NO_WINDOW (.NET CreateNoWindow, Python's creationflags)",
         {1, true, true, false, false, true, true, true}, false},
        {"cmd's start /wait, PowerShell's Start-Process -Wait: a console program started it",
         {1, true, true, false, true, true, false, true}, false},
        // A service's process, or a task's that runs whether anyone is
        // signed in or not: its console window is on a window station no
        // one sees, although a windowed program of its session started it.
        {"started by a service", {1, true, true, false, true, false, true, true}, false},
        {"a windowed program in another session (a service's CreateProcessAsUser)",
         {1, true, true, false, true, true, true, false}, false},
        {"parent not found, reused id or unreadable: a console program",
         {1, true, true, false, true, true, false, false}, false},
    };
    for (const PauseCase& c : cases) {
        SCOPED_TRACE(c.started);
        EXPECT_EQ(platform::ShouldPauseBeforeExit(c.facts), c.pauses);
    }
}

// The program that started Marovendel is judged by its PE header: only a
// windowed one, as Explorer is, gets a window that waits for a key.
TEST_F(CommandTest, OnlyAWindowedProgramsStartWaitsForAKey) {
    const struct {
        const char* parent;
        std::vector<std::uint8_t> fileStart;
        int waits;
    } cases[] = {
        {"Explorer", test_program::Program(test_program::kX64, test_program::kGui), 1},
        {"a 32-bit launcher", test_program::Program(test_program::kX86, test_program::kGui), 1},
        {"cmd.exe", test_program::Program(test_program::kX64, test_program::kConsole), 0},
        {"a file that is no program", {'M', 'Z'}, 0},
        {"a file that cannot be read", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parent);
        SetUp();
        test_platform::SetOwnsConsoleWindow(true);
        test_platform::SetParentProgram(c.fileStart);
        const CommandResult result = RunCommand({L"list"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(test_platform::KeyPressWaitCount(), c.waits);
    }
}

}  // namespace

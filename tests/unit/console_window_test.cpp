// The one case in which a run waits for a key before its window closes.
#include <gtest/gtest.h>

#include "platform/console_window.h"

namespace {

struct PauseCase {
    const char* started;
    unsigned consoleProcessCount;
    bool inputIsConsole;
    bool pauses;
};

TEST(ConsoleWindowTest, PausesOnlyAloneInItsOwnConsoleWithInputFromIt) {
    const PauseCase cases[] = {
        {"double-click or drop in Explorer", 1, true, true},
        {"from cmd.exe", 2, true, false},
        {"from a batch file run by a script", 3, true, false},
        {"own console, input from a file or pipe", 1, false, false},
        {"from a console, input from a pipe", 2, false, false},
        {"no console at all", 0, false, false},
        {"console list unreadable, input a console", 0, true, false},
    };
    for (const PauseCase& c : cases) {
        SCOPED_TRACE(c.started);
        EXPECT_EQ(platform::ShouldPauseBeforeExit(c.consoleProcessCount, c.inputIsConsole),
                  c.pauses);
    }
}

}  // namespace

// The one case in which a run waits for a key before its window closes.
#include <gtest/gtest.h>

#include "platform/console_window.h"

namespace {

struct PauseCase {
    const char* started;
    platform::ConsoleFacts facts;  // processes, input, output, hidden
    bool pauses;
};

TEST(ConsoleWindowTest, PausesOnlyWhereAPersonCanPressAKey) {
    const PauseCase cases[] = {
        {"double-click or drop in Explorer", {1, true, true, false}, true},
        {"from cmd.exe", {2, true, true, false}, false},
        {"from a batch file run by a script", {3, true, true, false}, false},
        {"own console, input from a file or pipe", {1, false, true, false}, false},
        {"own console, output into a pipe or file", {1, true, false, false}, false},
        {"from a console, input from a pipe", {2, false, true, false}, false},
        {"hidden start: WScript.Shell Run 0, Start-Process Hidden", {1, true, true, true}, false},
        {"no console at all (CREATE_NO_WINDOW)", {0, false, false, false}, false},
        {"console list unreadable, input a console", {0, true, true, false}, false},
    };
    for (const PauseCase& c : cases) {
        SCOPED_TRACE(c.started);
        EXPECT_EQ(platform::ShouldPauseBeforeExit(c.facts), c.pauses);
    }
}

}  // namespace

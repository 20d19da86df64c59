// When Marovendel keeps its console window open before it exits.
#pragma once

namespace platform {

// What the process can learn about its console at the end of a run.
struct ConsoleFacts {
    unsigned consoleProcessCount = 0;  // GetConsoleProcessList; 0 when none or unknown
    bool inputIsConsole = false;       // standard input is a console
    bool outputIsConsole = false;      // standard output is a console
    bool startedHidden = false;        // started with SW_HIDE (GetStartupInfoW)
};

// Whether a run should end by waiting for a key: only where a person can
// press one. The console holds this process alone (Explorer made the window
// for a double-click or a drop, and closes it as soon as the process exits),
// standard input and output are that console, and the window was not started
// hidden. A console, a script, a pipe, a file or a hidden start never waits.
bool ShouldPauseBeforeExit(const ConsoleFacts& facts);

}  // namespace platform

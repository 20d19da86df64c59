// When Marovendel keeps its console window open before it exits.
#pragma once

namespace platform {

// Whether a run should end by waiting for a key: only when the console holds
// this process alone (Explorer made the window for a double-click or a drop,
// and closes it as soon as the process exits) and standard input is that
// console, so a key can be read at all. A console, a script or a pipe never
// waits.
bool ShouldPauseBeforeExit(unsigned consoleProcessCount, bool inputIsConsole);

}  // namespace platform

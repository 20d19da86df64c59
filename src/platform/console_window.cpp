// When Marovendel keeps its console window open before it exits.
#include "platform/console_window.h"

namespace platform {

bool ShouldPauseBeforeExit(unsigned consoleProcessCount, bool inputIsConsole) {
    // A count of 0 means there is no console, or it could not be asked.
    return consoleProcessCount == 1 && inputIsConsole;
}

}  // namespace platform

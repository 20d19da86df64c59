// When Marovendel keeps its console window open before it exits.
#include "platform/console_window.h"

namespace platform {

bool ConsoleAllowsPause(const ConsoleFacts& facts) {
    // A count of 0 means there is no console, or it could not be asked.
    return facts.consoleProcessCount == 1 && facts.inputIsConsole && facts.outputIsConsole &&
           !facts.startedHidden && facts.hasWindow;
}

bool ShouldPauseBeforeExit(const ConsoleFacts& facts) {
    return ConsoleAllowsPause(facts) && facts.interactiveStation && facts.parentIsWindowed &&
           facts.parentInSameSession;
}

}  // namespace platform

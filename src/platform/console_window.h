// When Marovendel keeps its console window open before it exits.
#pragma once

namespace platform {

// What the process can learn about its console, and about the process that
// started it, at the end of a run.
struct ConsoleFacts {
    unsigned consoleProcessCount = 0;  // GetConsoleProcessList; 0 when none or unknown
    bool inputIsConsole = false;       // standard input is a console
    bool outputIsConsole = false;      // standard output is a console
    bool startedHidden = false;        // started with SW_HIDE (GetStartupInfoW)
    bool hasWindow = false;            // GetConsoleWindow is not null; CREATE_NO_WINDOW gives none
    bool interactiveStation = false;   // on the window station a person sees and types in (WinSta0)
    bool parentIsWindowed = false;     // the starting program is a windowed (GUI) one; false
                                       // when it cannot be found or read
    bool parentInSameSession = false;  // it runs in this process's session
};

// Whether the console alone leaves room for a pause: the process is alone in
// a console window (Explorer made it for a double-click or a drop, and
// closes it as soon as the process exits), standard input and output are
// that console, and the window was not started hidden. Who started the
// process is worth asking only then.
bool ConsoleAllowsPause(const ConsoleFacts& facts);

// Whether a run should end by waiting for a key: only where a person can
// press one. The console allows it, its window is on the interactive window
// station, and a windowed program of this session started the process, as
// Explorer or a menu of portable apps does. A service, and every process it
// starts, has a window station nobody sees or types in ("Window Station and
// Desktop Creation"), even where the console has a window. A
// console program (cmd's start /wait, PowerShell's Start-Process -Wait, a
// script's process) never waits behind its back; neither does a console,
// a script, a pipe, a file, a hidden start or a start without a window.
bool ShouldPauseBeforeExit(const ConsoleFacts& facts);

}  // namespace platform

// The program: reads the command line once into a Command, gates HKLM on
// administrator membership, runs the command, or the home screen on a
// double-click, and owns the exit status.
#include "command_line.h"
#include "commands/commands.h"
#include "home_screen.h"
#include "output/text.h"
#include "platform/platform.h"
#include "programs/program_image.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailed = 2;

Outcome Run(const Command& command, const wchar_t* program) {
    switch (command.form) {
    case Form::Usage:
        PrintUsage(program);
        return Outcome::Refused;
    case Form::RootUsage:
        Print(L"Usage: %ls %ls <BrowserName> <ExecutablePath>\n", program, RootWord(*command.root));
        return Outcome::Refused;
    case Form::CommandUsage:
        Print(L"Usage: %ls %ls <HKCU|HKLM> <BrowserName>\n", program, command.commandWord);
        return Outcome::Refused;
    case Form::Refusal:
        Print(L"%ls", command.refusal.c_str());
        return Outcome::Refused;
    case Form::List:
        return ListBrowsers(command.root);
    case Form::Register: {
        const Outcome registered = RegisterBrowser(*command.root, *command.name,
                                                   command.executablePath,
                                                   command.registrationOptions);
        WarnIfProgramIsMissing(command.executablePath);
        return registered;
    }
    case Form::Delete:
        return DeleteBrowser(*command.root, *command.name, command.options);
    case Form::Settings:
        return OpenDefaultAppsSettings(*command.root, *command.name);
    case Form::Defaults:
        return WriteDefaultAssociations(*command.root, *command.name, command.defaults);
    case Form::Drop:
        return RegisterDroppedFile(command.executablePath, program);
    case Form::Repair:
        return RepairBrowsers(*command.root, command.repair);
    case Form::Check:
        break;
    }
    return CheckBrowser(*command.root, *command.name);
}

// Arguments that make no command, in a window Marovendel owns, came from
// Explorer: a folder, several files, or a file that is no longer there. The
// usage would mean nothing to whoever dropped them.
Outcome RefuseWrongDrop(int argc, wchar_t** argv) {
    constexpr const wchar_t* kDropOne =
        L"drop one browser's .exe or its shortcut onto Marovendel.exe";
    if (argc > 2) {
        Print(L"%d items were dropped; %ls.\n", argc - 1, kDropOne);
    } else if (platform::IsExistingDirectory(argv[1])) {
        Print(L"%ls is a folder; %ls.\n", argv[1], kDropOne);
    } else if (!platform::IsExistingFile(argv[1])) {
        Print(L"%ls does not exist; %ls.\n", argv[1], kDropOne);
    } else {
        Print(L"%ls is not a program or a shortcut to one; %ls.\n", argv[1], kDropOne);
    }
    return Outcome::Refused;
}

int StatusOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Done:
        return kExitDone;
    case Outcome::Refused:
        return kExitUsage;
    case Outcome::Failed:
        break;
    }
    return kExitFailed;
}

}  // namespace

// The whole program: parses the command line, runs at most one command and
// returns the exit status (0 done, 1 usage or refusal, 2 ran but failed).
extern "C" int wmain(int argc, wchar_t** argv) {
    const platform::FlushOutputOnExit flushOutput;
    const bool isAdmin = platform::IsMemberOfAdministrators();
    const wchar_t* program = argc > 0 ? argv[0] : L"Marovendel.exe";
    const Command command = ParseCommandLine(argc, argv, isAdmin);
    const bool ownsWindow = platform::OwnsConsoleWindow(program_image::IsWindowedProgram);
    if (ownsWindow) {
        // Sentences read in a window of their own break at spaces, not in words.
        platform::WrapOutputToWindow();
    }
    // A double-click: someone reads the window and can type in it, and
    // closes it from the home screen.
    if (ownsWindow && argc <= 1) {
        return StatusOf(ShowHomeScreen());
    }
    const Outcome outcome = ownsWindow && argc > 1 && command.form == Form::Usage
                                ? RefuseWrongDrop(argc, argv)
                                : Run(command, program);
    // Started from Explorer, the window would close before anyone read it.
    if (ownsWindow) {
        Print(L"\nPress any key to close this window.\n");
        platform::WaitForKeyPress();
    }
    return StatusOf(outcome);
}

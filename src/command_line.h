// The command line, read once into the one command a run performs.
#pragma once

#include <optional>
#include <string>

#include "commands/commands.h"

enum class Form {
    Usage, RootUsage, CommandUsage, Refusal, List, Register, Delete, Settings, Check, Defaults,
    Drop, Repair
};

// One run's command, as the command line asks for it.
struct Command {
    Form form = Form::Usage;
    std::wstring refusal;  // Refusal: the line to print
    const wchar_t* commandWord = nullptr;  // CommandUsage: check or settings
    std::optional<RootKey> root;  // List: none for both roots; RootUsage: the form's
    std::optional<registration::ClientName> name;
    std::wstring executablePath;              // Register; Drop: the dropped file
    RegistrationOptions registrationOptions;  // Register
    DeleteOptions options;                    // Delete
    DefaultsOptions defaults;                 // Defaults
    RepairOptions repair;                     // Repair
};

// The command argv asks for. HKLM forms that write are refused to a caller
// who is not an administrator; a single existing file that is no command
// word is a drop.
Command ParseCommandLine(int argc, wchar_t** argv, bool isAdmin);

// The banner and the general usage, each line with program's name.
void PrintUsage(const wchar_t* program);

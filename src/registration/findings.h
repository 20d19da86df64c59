// A registration read back the way Windows uses it, whoever wrote it: every
// part that would keep the browser out of Default apps or keep a link from
// opening, found without printing anything. Check prints the findings;
// defaults writes its file from the associations found.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "registration/layout.h"
#include "registry/registry.h"

namespace registration {

// One value of an associations key: the type or scheme, and the class it names.
struct Association {
    std::wstring name;
    std::wstring progId;
};

// An open command whose program is not there, as after a move.
struct MissingProgram {
    registry::RootKey root;       // where the command was found
    std::wstring commandKeyPath;  // its shell\open\command key
    std::wstring command;         // its text, expanded
    std::wstring program;         // the program's path, or the whole command when no part exists
};

struct RegistrationFindings {
    // The client's key or its RegisteredApplications entry exists.
    bool registered = false;
    // Each problem, as the line check prints for it.
    std::vector<std::wstring> problems;
    // How many of them are in the client's own open command, which only the
    // Start menu's entry uses; the rest are in the capabilities or classes.
    std::size_t clientCommandProblems = 0;
    // A command names a program that is not there, as after a move.
    bool programMissing = false;
    // Each such command, with one of the problems for each.
    std::vector<MissingProgram> missingPrograms;
    // Where the RegisteredApplications entry finds the capabilities.
    std::wstring capabilitiesPath;
    // The associations that name a class, in the order the registry lists them.
    std::vector<Association> fileAssociations;
    std::vector<Association> urlAssociations;
};

RegistrationFindings InspectRegistration(registry::RootKey root, const ClientName& clientName);

}  // namespace registration

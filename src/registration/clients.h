// The browser clients registered under a root, and the program each one's
// open command starts: what the home screen lists and what a drop must not
// take over.
#pragma once

#include <optional>
#include <vector>

#include "programs/command_program.h"
#include "registration/layout.h"
#include "registry/registry.h"

namespace registration {

// What a client's open command starts.
struct ClientProgram {
    bool readable = true;  // false: the command exists but could not be read
    std::optional<CommandProgram> program;  // none: no client, or no command
};
ClientProgram RegisteredProgram(registry::RootKey root, const ClientName& name);

struct RegisteredClient {
    ClientName name;
    std::optional<CommandProgram> program;  // none when it has no command
};
// The clients registered under root, in the registry's order, IEXPLORE.EXE
// and names no registration could be made under left out. read is false
// when they could not all be read.
std::vector<RegisteredClient> RegisteredClients(registry::RootKey root, bool& read);

}  // namespace registration

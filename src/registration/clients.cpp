// The clients registered under a root and the programs they start.
#include "registration/clients.h"

#include "output/text.h"
#include "platform/platform.h"

using registry::RootKey;

namespace registration {

ClientProgram RegisteredProgram(RootKey root, const ClientName& name) {
    ClientProgram holder;
    registry::Key key;
    std::wstring command;
    registry::Status status = registry::OpenKey(root, OpenCommandPath(ClientKeyPath(name)),
                                                registry::Access::Read, key);
    if (status == registry::kSuccess) {
        status = registry::ReadString(key, nullptr, registry::kAcceptAnyString, kValueBytes,
                                      command);
    }
    if (status == registry::kSuccess) {
        holder.program = FindCommandProgram(platform::ExpandEnvironment(command));
    } else {
        // A command of another type starts nothing, but was read.
        holder.readable = status == registry::kFileNotFound || status == registry::kUnsupportedType;
    }
    return holder;
}

std::vector<RegisteredClient> RegisteredClients(RootKey root, bool& read) {
    std::vector<RegisteredClient> clients;
    registry::Key key;
    const registry::Status opened =
        registry::OpenKey(root, kClientsPath, registry::Access::Read, key);
    read = opened == registry::kSuccess || opened == registry::kFileNotFound;
    if (opened != registry::kSuccess) {
        return clients;
    }
    std::wstring listed;
    for (std::uint32_t index = 0;; ++index) {
        const registry::Status status =
            registry::EnumKey(key, index, registry::kMaxKeyNameChars, listed);
        if (status != registry::kSuccess) {
            read = read && status == registry::kNoMoreItems;
            return clients;
        }
        const std::optional<ClientName> name = ClientName::From(listed);
        if (!name || EqualsIgnoringCase(listed, L"IEXPLORE.EXE")) {
            continue;
        }
        const ClientProgram holder = RegisteredProgram(root, *name);
        read = read && holder.readable;
        clients.push_back(RegisteredClient{*name, holder.program});
    }
}

}  // namespace registration

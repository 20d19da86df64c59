// Registration: writes the layout of registration.h under one root, stage
// by stage, then reads the http association back. Each stage reports its own
// failure and the next stage still runs.
#include "marovendel.h"
#include "platform/platform.h"

using registry::CreateKey;
using registry::Key;
using registry::kSuccess;
using registration::ClientName;
using registration::Data;
using registration::Extent;
using registration::Naming;
using registration::KeySpec;
using registration::Stage;
using registration::ValueSpec;

namespace {

bool Writes(Extent extent, const RegistrationOptions& options) {
    return extent == Extent::Always || options.all;
}

// A value that could not be written leaves the registration incomplete, so
// it is reported like a key that could not be created.
bool WriteValue(const Key& key, const wchar_t* name, const ValueSpec& value,
                const ClientName& clientName, const std::wstring& executablePath) {
    const registry::Status status =
        value.data == Data::Nothing
            ? registry::SetValue(key, name, registry::kRegNone, {})
            : registry::SetString(key, name,
                                  registration::DataText(value.data, clientName, executablePath));
    if (status != kSuccess) {
        Print(L"Failed to write value %ls.\n", name == nullptr ? L"(default)" : name);
        return false;
    }
    return true;
}

bool WriteValues(const Key& key, const std::vector<ValueSpec>& values, const ClientName& name,
                 const std::wstring& executablePath, const RegistrationOptions& options) {
    const std::wstring progId = registration::ProgId(name);
    bool written = true;
    for (const ValueSpec& value : values) {
        if (!Writes(value.extent, options)) {
            continue;
        }
        const wchar_t* valueName = value.naming == Naming::AfterClient   ? name.c_str()
                                   : value.naming == Naming::AfterProgId ? progId.c_str()
                                                                         : value.name;
        written = WriteValue(key, valueName, value, name, executablePath) && written;
    }
    return written;
}

// The stage's key is created, except RegisteredApplications, which Windows
// itself provides and which is only opened.
registry::Status OpenStageKey(RootKey root, const Stage& stage, const std::wstring& path,
                              Key& key) {
    if (stage.key == registration::StageKey::RegisteredApplications) {
        return registry::OpenKey(root, path, registry::Access::Write, key);
    }
    return CreateKey(root, path, key);
}

bool WriteStage(RootKey root, const Stage& stage, const ClientName& name,
                const std::wstring& executablePath, const RegistrationOptions& options) {
    Key key;
    const KeySpec& own = stage.keys.front();
    const std::wstring path = registration::StagePath(stage, name);
    if (OpenStageKey(root, stage, path, key) != kSuccess) {
        Print(own.failure, path.c_str());
        return false;
    }
    bool complete = WriteValues(key, own.values, name, executablePath, options);
    for (std::size_t i = 1; i < stage.keys.size(); ++i) {
        const KeySpec& sub = stage.keys[i];
        Key subkey;
        if (CreateKey(key, sub.subPath, subkey) != kSuccess) {
            Print(sub.failure, (path + L"\\" + sub.subPath).c_str());
            complete = false;
            continue;
        }
        complete = WriteValues(subkey, sub.values, name, executablePath, options) && complete;
    }
    return complete;
}

}  // namespace

void PrintCapabilities(RootKey root, const ClientName& clientName) {
    Key key;
    const std::wstring path =
        registration::UrlAssociationsPath(registration::CapabilitiesPath(clientName));
    if (registry::OpenKey(root, path, registry::Access::Read, key) != kSuccess) {
        Print(L"Capabilities: [Not found]\n");
        return;
    }
    registry::ValueData http;
    if (registry::QueryValue(key, L"http", 512, http) == kSuccess &&
        (http.type == registry::kRegSz || http.type == registry::kRegExpandSz)) {
        Print(L"http/https: %ls\n", registry::StringFromBytes(http.bytes).c_str());
    } else {
        Print(L"http/https: [Not found]\n");
    }
}

Outcome RegisterBrowser(RootKey root, const ClientName& clientName,
                        const std::wstring& executablePath, const RegistrationOptions& options) {
    bool complete = true;
    for (const Stage& stage : registration::Layout()) {
        if (Writes(stage.extent, options)) {
            complete = WriteStage(root, stage, clientName, executablePath, options) && complete;
        }
    }
    platform::NotifyAssociationsChanged();
    Print(complete ? L"Portable browser registered successfully.\n"
                   : L"Portable browser registration incomplete.\n");
    PrintCapabilities(root, clientName);
    return complete ? Outcome::Done : Outcome::Failed;
}

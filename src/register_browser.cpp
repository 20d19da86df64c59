// Registration: writes the layout of registration.h under one root, stage
// by stage, then reads the http association back. Each stage reports its own
// failure and the next stage still runs.
#include "marovendel.h"
#include "platform/platform.h"

using registry::CreateKey;
using registry::Key;
using registry::kSuccess;
using registration::ClientName;
using registration::KeySpec;
using registration::Stage;
using registration::ValueSpec;

namespace {

// A value that could not be written leaves the registration incomplete, so
// it is reported like a key that could not be created.
bool WriteString(const Key& key, const wchar_t* name, const std::wstring& data) {
    if (registry::SetString(key, name, data) != kSuccess) {
        Print(L"Failed to write value %ls.\n", name == nullptr ? L"(default)" : name);
        return false;
    }
    return true;
}

bool WriteValues(const Key& key, const std::vector<ValueSpec>& values, const ClientName& name,
                 const std::wstring& executablePath) {
    bool written = true;
    for (const ValueSpec& value : values) {
        const wchar_t* valueName = value.namedAfterClient ? name.c_str() : value.name;
        written = WriteString(key, valueName,
                              registration::DataText(value.data, name, executablePath)) &&
                  written;
    }
    return written;
}

// The stage's key is created, except RegisteredApplications, which Windows
// itself provides and which is only opened.
registry::Status OpenStageKey(RootKey root, const Stage& stage, const ClientName& name, Key& key) {
    const std::wstring path = registration::StagePath(stage.key, name);
    if (stage.key == registration::StageKey::RegisteredApplications) {
        return registry::OpenKey(root, path, registry::Access::Write, key);
    }
    return CreateKey(root, path, key);
}

bool WriteStage(RootKey root, const Stage& stage, const ClientName& name,
                const std::wstring& executablePath) {
    Key key;
    const KeySpec& own = stage.keys.front();
    if (OpenStageKey(root, stage, name, key) != kSuccess) {
        Print(L"%ls", own.failure);
        return false;
    }
    bool complete = WriteValues(key, own.values, name, executablePath);
    for (std::size_t i = 1; i < stage.keys.size(); ++i) {
        const KeySpec& sub = stage.keys[i];
        Key subkey;
        if (CreateKey(key, sub.subPath, subkey) != kSuccess) {
            Print(L"%ls", sub.failure);
            complete = false;
            continue;
        }
        complete = WriteValues(subkey, sub.values, name, executablePath) && complete;
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
                        const std::wstring& executablePath) {
    bool complete = true;
    for (const Stage& stage : registration::Layout()) {
        complete = WriteStage(root, stage, clientName, executablePath) && complete;
    }
    platform::NotifyAssociationsChanged();
    Print(complete ? L"Portable browser registered successfully.\n"
                   : L"Portable browser registration incomplete.\n");
    PrintCapabilities(root, clientName);
    return complete ? Outcome::Done : Outcome::Failed;
}

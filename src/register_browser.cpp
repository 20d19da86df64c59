// Registration: writes the keys through which Windows offers a portable
// browser as a web-browser client. Relative to the root:
//
//   Software\Clients\StartMenuInternet\<Name>          (default) = Name
//     shell\open\command                               (default) = Exe
//     Capabilities   ApplicationName, ApplicationDescription = Name,
//                    ApplicationIcon = Exe
//       FileAssociations   .htm, .html  = <Name>URL
//       URLAssociations    http, https  = <Name>URL
//   Software\RegisteredApplications   <Name> = path of Capabilities above
//   Software\Classes\<Name>URL        (default), FriendlyTypeName = Name
//     DefaultIcon                     (default) = Exe
//     shell\open\command              (default) = "Exe" "%1"
//
// Each stage reports its own failure and the next stage still runs.
#include "marovendel.h"
#include "platform/platform.h"

using registry::CreateKey;
using registry::Key;
using registry::kSuccess;

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

// The class's open command must hand the link to the browser: quote the path
// and add "%1", unless the path already carries its own placeholder.
std::wstring ClassOpenCommand(const std::wstring& executablePath) {
    if (executablePath.find(L"%1") != std::wstring::npos) {
        return executablePath;
    }
    if (!executablePath.empty() && executablePath[0] == L'"') {
        return executablePath + L" \"%1\"";
    }
    return L"\"" + executablePath + L"\" \"%1\"";
}

// Creates subPath beneath parent and sets its default value; false (after
// printing failure) when the key cannot be created.
bool WriteDefaultValue(const Key& parent, const wchar_t* subPath, const std::wstring& data,
                       const wchar_t* failure) {
    Key key;
    if (CreateKey(parent, subPath, key) != kSuccess) {
        Print(L"%ls", failure);
        return false;
    }
    return WriteString(key, nullptr, data);
}

bool WriteClientKey(RootKey root, const std::wstring& clientKeyPath, const std::wstring& clientName,
                    const std::wstring& executablePath) {
    Key client;
    if (CreateKey(root, clientKeyPath, client) != kSuccess) {
        Print(L"Failed to create registry key for the browser.\n");
        return false;
    }
    const bool named = WriteString(client, nullptr, clientName);
    return WriteDefaultValue(client, L"shell\\open\\command", executablePath,
                             L"Failed to create command subkey.\n") &&
           named;
}

bool WriteRegisteredApplication(RootKey root, const std::wstring& clientName,
                                const std::wstring& capabilitiesPath) {
    Key applications;
    if (registry::OpenKey(root, L"Software\\RegisteredApplications", registry::Access::Write,
                          applications) != kSuccess) {
        Print(L"Failed to open RegisteredApplications key.\n");
        return false;
    }
    return WriteString(applications, clientName.c_str(), capabilitiesPath);
}

bool WriteAssociations(const Key& capabilities, const wchar_t* subPath, const wchar_t* first,
                       const wchar_t* second, const std::wstring& progId, const wchar_t* failure) {
    Key associations;
    if (CreateKey(capabilities, subPath, associations) != kSuccess) {
        Print(L"%ls", failure);
        return false;
    }
    const bool firstSet = WriteString(associations, first, progId);
    return WriteString(associations, second, progId) && firstSet;
}

bool WriteCapabilities(RootKey root, const std::wstring& capabilitiesPath,
                       const std::wstring& clientName, const std::wstring& executablePath,
                       const std::wstring& progId) {
    Key capabilities;
    if (CreateKey(root, capabilitiesPath, capabilities) != kSuccess) {
        Print(L"Failed to create Capabilities key.\n");
        return false;
    }
    bool values = WriteString(capabilities, L"ApplicationName", clientName);
    values = WriteString(capabilities, L"ApplicationIcon", executablePath) && values;
    values = WriteString(capabilities, L"ApplicationDescription", clientName) && values;
    const bool files = WriteAssociations(capabilities, L"FileAssociations", L".htm", L".html",
                                         progId, L"Failed to create FileAssociations subkey.\n");
    const bool urls = WriteAssociations(capabilities, L"URLAssociations", L"http", L"https", progId,
                                        L"Failed to create URLAssociations subkey.\n");
    return values && files && urls;
}

bool WriteClass(RootKey root, const std::wstring& progId, const std::wstring& clientName,
                const std::wstring& executablePath) {
    Key progIdKey;
    if (CreateKey(root, L"Software\\Classes\\" + progId, progIdKey) != kSuccess) {
        Print(L"Failed to create ProgID key.\n");
        return false;
    }
    bool values = WriteString(progIdKey, nullptr, clientName);
    values = WriteString(progIdKey, L"FriendlyTypeName", clientName) && values;
    const bool icon = WriteDefaultValue(progIdKey, L"DefaultIcon", executablePath,
                                        L"Failed to create DefaultIcon subkey.\n");
    const bool command = WriteDefaultValue(progIdKey, L"shell\\open\\command",
                                           ClassOpenCommand(executablePath),
                                           L"Failed to create shell\\open\\command subkey.\n");
    return values && icon && command;
}

}  // namespace

bool RegisterBrowser(RootKey root, const std::wstring& clientName,
                     const std::wstring& executablePath) {
    // The dispatcher refuses names over kMaxClientNameChars, so these fit.
    std::wstring clientKeyPath;
    std::wstring capabilitiesPath;
    FormatBounded(clientKeyPath, kKeyPathCapacity, L"Software\\Clients\\StartMenuInternet\\%ls",
                  clientName.c_str());
    FormatBounded(capabilitiesPath, kKeyPathCapacity,
                  L"Software\\Clients\\StartMenuInternet\\%ls\\Capabilities", clientName.c_str());
    const std::wstring progId = clientName + L"URL";

    bool complete = WriteClientKey(root, clientKeyPath, clientName, executablePath);
    complete = WriteRegisteredApplication(root, clientName, capabilitiesPath) && complete;
    complete = WriteCapabilities(root, capabilitiesPath, clientName, executablePath, progId) &&
               complete;
    complete = WriteClass(root, progId, clientName, executablePath) && complete;

    platform::NotifyAssociationsChanged();
    Print(complete ? L"Portable browser registered successfully.\n"
                   : L"Portable browser registration incomplete.\n");
    return complete;
}

// The layout of one registration, and the name rule that keeps its paths
// whole.
#include "registration/layout.h"

namespace registration {

namespace {

constexpr const wchar_t* kClassesPath = L"SOFTWARE\\Classes";
constexpr const wchar_t* kCapabilities = L"Capabilities";
constexpr const wchar_t* kOpenCommand = L"shell\\open\\command";
constexpr const wchar_t* kFileAssociations = L"FileAssociations";
constexpr const wchar_t* kUrlAssociations = L"URLAssociations";
constexpr const wchar_t* kOpenWithProgids = L"OpenWithProgids";

// The file types a browser opens, with the registrations that offer it for
// each: the two of every registration, then what -all adds.
struct FileType {
    const wchar_t* extension;
    Extent extent;
};
constexpr FileType kFileTypes[] = {
    {L".htm", Extent::Always},  {L".html", Extent::Always}, {L".shtml", Extent::All},
    {L".xht", Extent::All},     {L".xhtml", Extent::All},   {L".svg", Extent::All},
    {L".webp", Extent::All},    {L".avif", Extent::All},    {L".pdf", Extent::All},
};

std::wstring Beneath(const std::wstring& keyPath, const wchar_t* subPath) {
    return keyPath + L"\\" + subPath;
}

bool IsControl(wchar_t ch) {
    return static_cast<std::uint32_t>(ch) < 0x20 || ch == 0x7F;
}

const wchar_t* NameProblem(const std::wstring& text) {
    if (text.empty()) {
        return L"The browser name must not be empty.\n";
    }
    if (text.find_first_of(L"\\/") != std::wstring::npos) {
        return L"The browser name must not contain \\ or /.\n";
    }
    // A line break or other control character would split the listing's
    // lines and cannot be written to a backup file.
    for (wchar_t ch : text) {
        if (IsControl(ch)) {
            return L"The browser name must not contain control characters.\n";
        }
    }
    if (registry::Utf16Length(text) > kMaxNameChars) {
        return L"The browser name must not be longer than 191 characters.\n";
    }
    return nullptr;
}

using portable_package::BrowserFamily;

// How the class's command passes the link to a family's browser so that it
// stays one argument, whatever quotes and spaces it holds: the Chromium
// family's switch takes the rest of the raw command line as the argument,
// so it comes last; Firefox refuses -osint unless exactly -osint -url
// <link> follows the program. Any other program gets the link quoted.
struct LinkForm {
    BrowserFamily family;
    bool programAlone;  // only when nothing else follows the program
    const wchar_t* tail;
};
constexpr LinkForm kLinkForms[] = {
    {BrowserFamily::Chromium, false, L" --single-argument %1"},
    {BrowserFamily::Firefox, true, L" -osint -url \"%1\""},
};
constexpr const wchar_t* kQuotedLink = L" \"%1\"";

// The command with its program quoted: a path that starts with a quote as it
// is; an unquoted one that starts with program and a space (program given)
// with the program quoted and its arguments after; any other quoted whole.
// alone tells whether nothing follows the program.
std::wstring QuotedCommand(const std::wstring& executablePath, const std::wstring& program,
                           bool& alone) {
    if (!executablePath.empty() && executablePath[0] == L'"') {
        const std::size_t close = executablePath.find(L'"', 1);
        alone = close != std::wstring::npos &&
                executablePath.find_first_not_of(L" \t", close + 1) == std::wstring::npos;
        return executablePath;
    }
    if (!program.empty() && executablePath.size() > program.size() &&
        executablePath.compare(0, program.size(), program) == 0 &&
        executablePath[program.size()] == L' ') {
        alone = false;
        return L"\"" + program + L"\"" + executablePath.substr(program.size());
    }
    alone = true;
    return L"\"" + executablePath + L"\"";
}

// Whether command ends inside quotes as CommandLineToArgvW reads it: a quote
// after an odd number of backslashes is a literal one, as in the common
// slip --user-data-dir="D:\Profile\".
bool LeavesQuoteOpen(const std::wstring& command) {
    bool open = false;
    std::size_t backslashes = 0;
    for (wchar_t ch : command) {
        if (ch == L'"' && backslashes % 2 == 0) {
            open = !open;
        }
        backslashes = ch == L'\\' ? backslashes + 1 : 0;
    }
    return open;
}

// The class's open command must hand the link to the browser, unless the
// path already carries its own placeholder. program, when not empty, is the
// program alone that an unquoted executablePath starts with, arguments after
// it: only the program is quoted.
std::wstring ClassOpenCommand(const std::wstring& executablePath, const std::wstring& program,
                              BrowserFamily family) {
    if (executablePath.find(L"%1") != std::wstring::npos) {
        return executablePath;
    }
    bool alone = false;
    std::wstring command = QuotedCommand(executablePath, program, alone);
    // Left open, the quote would take in --single-argument or the link's own
    // opening quote, and a quote in the link would end it: what follows would
    // be switches.
    if (LeavesQuoteOpen(command)) {
        command += L'"';
    }
    for (const LinkForm& form : kLinkForms) {
        if (form.family == family && (alone || !form.programAlone)) {
            return command + form.tail;
        }
    }
    return command + kQuotedLink;
}

}  // namespace

std::optional<ClientName> ClientName::From(const std::wstring& text, const wchar_t** problem) {
    const wchar_t* found = NameProblem(text);
    if (problem != nullptr) {
        *problem = found;
    }
    if (found != nullptr) {
        return std::nullopt;
    }
    return ClientName(text);
}

std::optional<ClientName> ClientName::Cleaned(const std::wstring& text) {
    std::wstring cleaned;
    for (wchar_t ch : text) {
        if (ch == L'\\' || ch == L'/' || IsControl(ch)) {
            ch = L' ';
        }
        if (ch != L' ' || (!cleaned.empty() && cleaned.back() != L' ')) {
            cleaned += ch;
        }
    }
    while (registry::Utf16Length(cleaned) > kMaxNameChars) {
        cleaned.pop_back();
    }
    // A cut between the halves of a surrogate pair leaves half a character.
    if (!cleaned.empty() && cleaned.back() >= 0xD800 && cleaned.back() < 0xDC00) {
        cleaned.pop_back();
    }
    while (!cleaned.empty() && cleaned.back() == L' ') {
        cleaned.pop_back();
    }
    return From(cleaned);
}

std::wstring ProgId(const ClientName& name) {
    return name.Text() + L"URL";
}

std::wstring ClientKeyPath(const ClientName& name) {
    return Beneath(kClientsPath, name.c_str());
}

std::wstring CapabilitiesPath(const ClientName& name) {
    return Beneath(ClientKeyPath(name), kCapabilities);
}

std::wstring ClassKeyPath(const std::wstring& progId) {
    return Beneath(kClassesPath, progId.c_str());
}

std::wstring OpenCommandPath(const std::wstring& keyPath) {
    return Beneath(keyPath, kOpenCommand);
}

std::wstring UrlAssociationsPath(const std::wstring& capabilitiesPath) {
    return Beneath(capabilitiesPath, kUrlAssociations);
}

std::wstring FileAssociationsPath(const std::wstring& capabilitiesPath) {
    return Beneath(capabilitiesPath, kFileAssociations);
}

std::optional<std::wstring> OpenWithProgidsPath(const std::wstring& fileType) {
    if (fileType.size() < 2 || fileType[0] != L'.' || fileType.find(L'\\') != std::wstring::npos) {
        return std::nullopt;
    }
    for (wchar_t ch : fileType) {
        if (IsControl(ch)) {
            return std::nullopt;
        }
    }
    std::wstring path = Beneath(ClassKeyPath(fileType), kOpenWithProgids);
    if (registry::Utf16Length(path) > kMaxKeyPathChars) {
        return std::nullopt;
    }
    return path;
}

const std::vector<std::wstring>& FileTypes() {
    static const std::vector<std::wstring> kTypes = [] {
        std::vector<std::wstring> types;
        for (const FileType& type : kFileTypes) {
            types.push_back(type.extension);
        }
        return types;
    }();
    return kTypes;
}

std::optional<std::wstring> ListedClientPath(const std::wstring& listedName, ClientPart part) {
    const std::wstring client = Beneath(kClientsPath, listedName.c_str());
    std::wstring path = part == ClientPart::OpenCommand
                            ? OpenCommandPath(client)
                            : UrlAssociationsPath(Beneath(client, kCapabilities));
    if (registry::Utf16Length(path) > kMaxKeyPathChars) {
        return std::nullopt;
    }
    return path;
}

const std::vector<Stage>& Layout() {
    static const std::vector<Stage> kLayout = [] {
        std::vector<ValueSpec> fileAssociations;
        for (const FileType& type : kFileTypes) {
            fileAssociations.push_back({type.extension, Data::ProgId, Naming::AsGiven, type.extent});
        }
        std::vector<Stage> layout = {
            {StageKey::Client,
             {{nullptr, L"Failed to create registry key for the browser.\n", {{nullptr, Data::Name}}},
              {kOpenCommand, L"Failed to create command subkey.\n",
               {{nullptr, Data::ExecutablePath}}}}},
            {StageKey::RegisteredApplications,
             {{nullptr, L"Failed to open RegisteredApplications key.\n",
               {{nullptr, Data::CapabilitiesPath, Naming::AfterClient}}}}},
            {StageKey::Capabilities,
             {{nullptr, L"Failed to create Capabilities key.\n",
               {{L"ApplicationName", Data::Name},
                {L"ApplicationIcon", Data::Icon},
                {L"ApplicationDescription", Data::Name}}},
              {kFileAssociations, L"Failed to create FileAssociations subkey.\n",
               fileAssociations},
              {kUrlAssociations, L"Failed to create URLAssociations subkey.\n",
               {{L"http", Data::ProgId},
                {L"https", Data::ProgId},
                {L"mailto", Data::ProgId, Naming::AsGiven, Extent::All}}}}},
            {StageKey::Class,
             {{nullptr, L"Failed to create ProgID key.\n",
               {{nullptr, Data::Name},
                {L"FriendlyTypeName", Data::Name},
                {L"URL Protocol", Data::Absent}}},
              {L"DefaultIcon", L"Failed to create DefaultIcon subkey.\n",
               {{nullptr, Data::Icon}}},
              {kOpenCommand, L"Failed to create shell\\open\\command subkey.\n",
               {{nullptr, Data::ClassOpenCommand}}}}},
        };
        // Explorer's Open with list: each type's OpenWithProgids key, made
        // when missing, gets a value named after the class and nothing else.
        for (const FileType& type : kFileTypes) {
            layout.push_back({StageKey::OpenWithProgids,
                              {{nullptr, L"Failed to create key %ls.\n",
                                {{nullptr, Data::Nothing, Naming::AfterProgId}}}},
                              Extent::All,
                              type.extension});
        }
        return layout;
    }();
    return kLayout;
}

std::wstring StagePath(const Stage& stage, const ClientName& name) {
    switch (stage.key) {
    case StageKey::Client:
        return ClientKeyPath(name);
    case StageKey::RegisteredApplications:
        return kRegisteredApplicationsPath;
    case StageKey::Capabilities:
        return CapabilitiesPath(name);
    case StageKey::OpenWithProgids:
        return *OpenWithProgidsPath(stage.fileType);
    case StageKey::Class:
        break;
    }
    return ClassKeyPath(ProgId(name));
}

std::wstring DataText(Data data, const ClientName& name, const std::wstring& executablePath,
                      const std::wstring& icon, BrowserFamily family) {
    switch (data) {
    case Data::Name:
        return name.Text();
    case Data::Icon:
        return icon.empty() ? executablePath : icon;
    case Data::ExecutablePath:
        return executablePath;
    case Data::ClassOpenCommand:
        return ClassOpenCommand(executablePath, icon, family);
    case Data::ProgId:
        return ProgId(name);
    case Data::Nothing:
    case Data::Absent:
        return std::wstring();
    case Data::CapabilitiesPath:
        break;
    }
    // Windows' own installers spell the entry's data "Software\...".
    const std::wstring path = CapabilitiesPath(name);
    return L"Software" + path.substr(path.find(L'\\'));
}

}  // namespace registration

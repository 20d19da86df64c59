// One registration of a browser client: the name it is made from, the key
// paths that name leads to, and the layout of keys and values written under
// either root. Registration writes the layout; removal backs up and deletes
// its trees; check, the listing and settings find their keys through it. No
// command composes a key path of its own.
//
// Relative to the root:
//
//   SOFTWARE\Clients\StartMenuInternet\<Name>         (default) = Name
//     shell\open\command                              (default) = Exe
//     Capabilities   ApplicationName, ApplicationDescription = Name,
//                    ApplicationIcon = Exe
//       FileAssociations   .htm, .html  = <Name>URL
//       URLAssociations    http, https  = <Name>URL
//   SOFTWARE\RegisteredApplications   <Name> = path of Capabilities above
//   SOFTWARE\Classes\<Name>URL        (default), FriendlyTypeName = Name
//                                     URL Protocol: deleted (see below)
//     DefaultIcon                     (default) = Exe
//     shell\open\command              (default) = "Exe" "%1", or the form
//                                     that keeps a link one argument for
//                                     the browser's family (below)
//
// A registration made with -all also writes every type a browser opens, and
// puts the browser on Explorer's Open with list for each file type:
//
//       FileAssociations   .shtml, .xht, .xhtml, .svg, .webp, .avif, .pdf
//       URLAssociations    mailto
//   SOFTWARE\Classes\<ext>\OpenWithProgids   <Name>URL (REG_NONE, no data),
//                                     for each of the nine file types
//
// The class's command hands the link over so that a link holding quotes or
// spaces cannot add switches: the Chromium family's ends in
// --single-argument %1, which takes the rest of the raw command line as one
// argument; the Firefox family's is -osint -url "%1" when nothing else
// follows the program, the one shape Firefox accepts with -osint.
//
// URL Protocol on the class would make <Name>URL: a link scheme of its own
// that any web page could call; earlier versions wrote it with -all, so every
// registration deletes it. It is the one value deleted from the class.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "programs/portable_package.h"
#include "registry/registry.h"

namespace registration {

// Longest name that keeps every key path composed from it within the
// registry's 255 characters.
constexpr std::size_t kMaxNameChars = 191;
// Longest key path, in UTF-16 units, that Marovendel composes.
constexpr std::size_t kMaxKeyPathChars = 255;
// Commands, descriptions and paths in a registration are read up to this
// many bytes, by every reader that judges or rewrites them.
constexpr std::size_t kValueBytes = 8192;

constexpr const wchar_t* kClientsPath = L"SOFTWARE\\Clients\\StartMenuInternet";
constexpr const wchar_t* kRegisteredApplicationsPath = L"SOFTWARE\\RegisteredApplications";

// A browser client's name, known to be safe in every key path, value name
// and file name it becomes: not empty, no \ or /, no control character, at
// most kMaxNameChars UTF-16 units.
class ClientName {
public:
    // The name text makes, or nothing; problem (when given) is then the line
    // that says why.
    static std::optional<ClientName> From(const std::wstring& text,
                                          const wchar_t** problem = nullptr);
    // A name made from any text, such as a program's description: \, / and
    // control characters become spaces, runs of spaces one, the ends are
    // trimmed and it is cut to kMaxNameChars. Nothing when no text is left.
    static std::optional<ClientName> Cleaned(const std::wstring& text);

    const std::wstring& Text() const { return text_; }
    const wchar_t* c_str() const { return text_.c_str(); }

private:
    explicit ClientName(std::wstring text) : text_(std::move(text)) {}
    std::wstring text_;
};

// The class the associations name: <Name>URL.
std::wstring ProgId(const ClientName& name);

// Key paths relative to the root.
std::wstring ClientKeyPath(const ClientName& name);
std::wstring CapabilitiesPath(const ClientName& name);
// The class key of any ProgID, whoever registered it.
std::wstring ClassKeyPath(const std::wstring& progId);

// Paths beneath a key of any registration, whoever wrote it.
std::wstring OpenCommandPath(const std::wstring& keyPath);
std::wstring UrlAssociationsPath(const std::wstring& capabilitiesPath);
std::wstring FileAssociationsPath(const std::wstring& capabilitiesPath);

// Where Explorer's Open with list for a file type (".pdf") finds the
// classes that offer to open it. Nothing for a type no key can be named
// after: one without its leading dot, or with a \, a control character, or
// too long to fit.
std::optional<std::wstring> OpenWithProgidsPath(const std::wstring& fileType);

// The file types a registration made with -all offers the browser for, the
// two of every registration first.
const std::vector<std::wstring>& FileTypes();

// A client found by enumeration: its name passed no rule, so a path made
// from it may not fit, and is then nothing.
enum class ClientPart { OpenCommand, UrlAssociations };
std::optional<std::wstring> ListedClientPath(const std::wstring& listedName, ClientPart part);

// Which registrations write a part of the layout.
enum class Extent {
    Always,  // every one
    All,     // only one made with -all
};

// What a value of the layout holds.
enum class Data {
    Name,              // the client's name
    ExecutablePath,    // the program, as given
    Icon,              // the program's icon: the path as given, unless told otherwise
    ClassOpenCommand,  // the program with the link passed: "Exe" "%1" or its family's form
    ProgId,            // <Name>URL
    CapabilitiesPath,  // where RegisteredApplications finds the capabilities
    Nothing,           // REG_NONE without data: only the value's name counts
    Absent,            // no value: one of that name is deleted
};

// What a value of the layout is called.
enum class Naming {
    AsGiven,      // ValueSpec::name
    AfterClient,  // the client's name
    AfterProgId,  // <Name>URL
};

struct ValueSpec {
    const wchar_t* name;  // null for the default value
    Data data;
    Naming naming = Naming::AsGiven;
    Extent extent = Extent::Always;
};

// A key and its values. subPath is beneath the stage's key, or null for the
// stage's key itself; failure is printed when it cannot be created, with the
// key's path for a %ls in it.
struct KeySpec {
    const wchar_t* subPath;
    const wchar_t* failure;
    std::vector<ValueSpec> values;
};

enum class StageKey { Client, RegisteredApplications, Capabilities, Class, OpenWithProgids };

// One stage of a registration: a key made (or, for RegisteredApplications,
// opened) under the root, then its values, then its subkeys in order. A
// stage that fails prints its line and the next stage still runs.
struct Stage {
    StageKey key;
    std::vector<KeySpec> keys;  // the stage's key first
    Extent extent = Extent::Always;
    std::wstring fileType = {};  // OpenWithProgids: the type whose list it is
};

// The stages in the order they are written.
const std::vector<Stage>& Layout();

// The root-relative path of a stage's key.
std::wstring StagePath(const Stage& stage, const ClientName& name);

// The text a value holds; empty for Data::Nothing and Data::Absent, which
// hold no text.
// icon, when not empty, is the program alone: what Data::Icon holds instead
// of executablePath, and the part of an unquoted command that the class's
// command quotes. family is the browser family whose form the class's
// command takes.
std::wstring DataText(
    Data data, const ClientName& name, const std::wstring& executablePath,
    const std::wstring& icon = std::wstring(),
    portable_package::BrowserFamily family = portable_package::BrowserFamily::Other);

}  // namespace registration

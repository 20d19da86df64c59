// Marovendel's commands and the helpers they share, grouped by the unit that
// owns them. Commands stand on the registration's layout (registration.h),
// which stands on the registry layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registration.h"
#include "registry/registry.h"

using registry::RootKey;

// How a command ended; wmain turns it into the exit status.
enum class Outcome {
    Done,     // 0
    Refused,  // 1: usage, or nothing to work on
    Failed,   // 2: it ran and found or met a failure
};

// main.cpp
// The whole program: parses the command line, runs at most one command and
// returns the exit status (0 done, 1 usage or refusal, 2 ran but failed).
extern "C" int wmain(int argc, wchar_t** argv);
bool IsRunningAsAdmin();

// register_browser.cpp
struct RegistrationOptions {
    // Also every other type a browser opens, and Explorer's Open with list
    // for each file type (the parts of the layout marked Extent::All).
    bool all = false;
    // What the icons hold, when not the path itself: the program alone, for a
    // path that carries a shortcut's arguments after it.
    std::wstring icon;
};
// Writes the whole registration, then reads its http association back;
// Done when every stage succeeded.
Outcome RegisterBrowser(RootKey root, const registration::ClientName& clientName,
                        const std::wstring& executablePath,
                        const RegistrationOptions& options = RegistrationOptions());
// A line on standard error when the program a console registration names
// does not exist (paths on a network server are not asked about).
void WarnIfProgramIsMissing(const std::wstring& executablePath);
// The one-line readback of a registration's http association.
void PrintCapabilities(RootKey root, const registration::ClientName& clientName);

// drop_browser.cpp
// Registers the program dropped onto Marovendel.exe (or the one its shortcut
// starts) for the current user, then opens its Default apps page.
// marovendel is how the command line named Marovendel.exe.
Outcome RegisterDroppedFile(const std::wstring& droppedPath, const wchar_t* marovendel);

// home_screen.cpp
// What a double-click shows: the browsers registered for the current user,
// each to open in Default apps, check or remove, and the drag hint; it reads
// typed lines until Enter alone. Only for a window Marovendel owns.
Outcome ShowHomeScreen();

// main.cpp
void PrintBanner();

// list_browsers.cpp
// Lists the one root scope names, or both when it names none.
Outcome ListBrowsers(std::optional<RootKey> scope);

// delete_browser.cpp
struct DeleteOptions {
    bool noBackup = false;     // remove without writing <BrowserName>.reg first
    // Also back up and remove the class Software\Classes\<BrowserName>URL and
    // its values in the OpenWithProgids keys of the file types.
    bool all = false;
};
// Backs up (unless noBackup) and removes a registration; Done when every
// step succeeded.
Outcome DeleteBrowser(RootKey root, const registration::ClientName& clientName,
                      const DeleteOptions& options);

// open_settings.cpp
// Opens the client's own page in Settings > Default apps.
Outcome OpenDefaultAppsSettings(RootKey root, const registration::ClientName& clientName);

// check_browser.cpp
// Reads a registration, whoever wrote it, the way Windows uses it, and
// prints every part that would keep it out of Default apps or keep a link
// from opening.
Outcome CheckBrowser(RootKey root, const registration::ClientName& clientName);
// One value of an associations key: the type or scheme, and the class it names.
struct Association {
    std::wstring name;
    std::wstring progId;
};
// A registration as check reads it, without printing anything.
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
    // Where the RegisteredApplications entry finds the capabilities.
    std::wstring capabilitiesPath;
    // The associations that name a class, in the order the registry lists them.
    std::vector<Association> fileAssociations;
    std::vector<Association> urlAssociations;
};
RegistrationFindings InspectRegistration(RootKey root, const registration::ClientName& clientName);
// The program a command starts, found as CreateProcess finds it: a quoted
// first token names it; otherwise each prefix that ends at a space is tried,
// shortest first, then the whole command.
struct CommandProgram {
    enum class Shape { Blank, Quoted, OneWord, Words };
    Shape shape = Shape::Blank;
    std::wstring path;  // the program, or the whole command when none exists
    bool exists = false;
};
CommandProgram FindCommandProgram(const std::wstring& command);

// defaults_file.cpp
struct DefaultsOptions {
    std::wstring file;  // where to write it; empty: beside Marovendel.exe
    bool once = false;  // applied once, as a suggestion the user may change
};
// Writes the default-associations file of a registration under HKLM, whose
// associations check finds sound, then prints how to apply it.
Outcome WriteDefaultAssociations(RootKey root, const registration::ClientName& clientName,
                                 const DefaultsOptions& options);
// drop_browser.cpp
// The clients registered under HKCU, in the registry's order, each with the
// program its open command starts (none when it has no command). read is
// false when they could not all be read. A name no registration could be
// made under is left out.
struct RegisteredClient {
    registration::ClientName name;
    std::optional<CommandProgram> program;
};
std::vector<RegisteredClient> CurrentUserClients(bool& read);


// text.cpp
// Printf-style output to standard output; %ls for wide strings.
void Print(const wchar_t* format, ...);
// Equality that folds only the ASCII letters A to Z.
bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b);
// The command-line word for root: HKCU or HKLM.
const wchar_t* RootWord(RootKey root);
// The line of settings and check for a name that root does not know.
void PrintNotRegistered(RootKey root, const registration::ClientName& clientName);
// The code point at text[i], moving i past it; U+FFFD for a lone surrogate.
std::uint32_t NextCodePoint(const std::wstring& text, std::size_t& i);
// Appends code's UTF-8 bytes to out.
void AppendUtf8(std::string& out, std::uint32_t code);
// name as one word of a command line: quoted when it holds a blank or a
// character the console treats specially, with its own quotes escaped.
std::wstring CommandLineWord(const std::wstring& name);

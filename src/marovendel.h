// Marovendel's commands and the helpers they share, grouped by the unit that
// owns them.
#pragma once

#include <string>

#include "registry/registry.h"

using registry::RootKey;

// How a command that can refuse ended; wmain turns it into the exit status.
enum class Outcome {
    Done,     // 0
    Refused,  // 1: nothing to work on
    Failed,   // 2: it ran and found or met a failure
};

// main.cpp
// The whole program: parses the command line, runs at most one command and
// returns the exit status (0 done, 1 usage or refusal, 2 ran but failed).
extern "C" int wmain(int argc, wchar_t** argv);
bool IsRunningAsAdmin();
void PrintCapabilities(RootKey root, const std::wstring& clientName);

// register_browser.cpp
// Writes the whole registration; true when every stage succeeded.
bool RegisterBrowser(RootKey root, const std::wstring& clientName,
                     const std::wstring& executablePath);

// list_browsers.cpp
// Lists both roots when scope is null, else the one it names (HKLM or HKCU).
void ListBrowsers(const wchar_t* scope);

// delete_browser.cpp
struct DeleteOptions {
    bool noBackup = false;     // remove without writing <BrowserName>.reg first
    bool removeClass = false;  // back up and remove Software\Classes\<BrowserName>URL too
};
// Backs up (unless noBackup) and removes a registration; true when every
// step succeeded.
bool DeleteBrowser(RootKey root, const std::wstring& clientName, const DeleteOptions& options);

// open_settings.cpp
// Opens the client's own page in Settings > Default apps.
Outcome OpenDefaultAppsSettings(RootKey root, const std::wstring& clientName);

// check_browser.cpp
// Reads a registration, whoever wrote it, the way Windows uses it, and
// prints every part that would keep it out of Default apps or keep a link
// from opening.
Outcome CheckBrowser(RootKey root, const std::wstring& clientName);

// text.cpp
// Printf-style output to standard output; %ls for wide strings.
void Print(const wchar_t* format, ...);
// Formats into out; false when the result, with its terminator, would not fit
// in capacity UTF-16 characters (out is then left empty).
bool FormatBounded(std::wstring& out, std::size_t capacity, const wchar_t* format, ...);
// Equality that folds only the ASCII letters A to Z.
bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b);
// Why clientName cannot be used as a registration's name, or null when it can.
const wchar_t* ClientNameProblem(const std::wstring& clientName);
// The command-line word for root: HKCU or HKLM.
const wchar_t* RootWord(RootKey root);
// The line of settings and check for a name that root does not know.
void PrintNotRegistered(RootKey root, const std::wstring& clientName);

// The key paths of one registration, relative to its root.
constexpr const wchar_t* kStartMenuInternetPath = L"SOFTWARE\\Clients\\StartMenuInternet";
constexpr const wchar_t* kRegisteredApplicationsPath = L"SOFTWARE\\RegisteredApplications";
constexpr const wchar_t* kClassesPath = L"SOFTWARE\\Classes";
// Longest ClientName that keeps every composed key path within 255 characters.
constexpr std::size_t kMaxClientNameChars = 191;
// Key paths are composed into buffers of this many characters.
constexpr std::size_t kKeyPathCapacity = 256;

// Calls one function of Marovendel's Windows platform layer and prints what
// it returned, one line, so that the end-to-end tests can check the real
// calls under Wine:
//   platform_probe full-path <path>
//   platform_probe is-running <path>
//   platform_probe display-name <path>
//   platform_probe shortcut <lnk path>     target, a tab, arguments
//   platform_probe default <association>   "progid ..." or "unknown ..."
//   platform_probe owns-console            "yes" or "no"
#include <string>

#include "platform/platform.h"

namespace {

// What function returned for argument; false for an unknown function.
bool Answer(const std::wstring& function, const std::wstring& argument, std::wstring& out) {
    platform::Shortcut shortcut;
    if (function == L"full-path") {
        out = platform::FullPath(argument);
    } else if (function == L"is-running") {
        out = platform::IsRunningExecutable(argument) ? L"yes" : L"no";
    } else if (function == L"display-name") {
        out = L"[" + platform::ProgramDisplayName(argument) + L"]";
    } else if (function == L"shortcut") {
        out = platform::ReadShortcut(argument, shortcut)
                  ? shortcut.target + L"\t" + shortcut.arguments
                  : L"unreadable";
    } else if (function == L"default") {
        const platform::CurrentDefault current = platform::QueryCurrentDefault(argument);
        out = current.known ? L"progid " + current.progId : L"unknown " + current.reason;
    } else if (function == L"owns-console") {
        out = platform::OwnsConsoleWindow() ? L"yes" : L"no";
    } else {
        return false;
    }
    return true;
}

}  // namespace

extern "C" int wmain(int argc, wchar_t** argv) {
    std::wstring answer;
    const bool known = argc >= 2 && Answer(argv[1], argc >= 3 ? argv[2] : L"", answer);
    platform::WriteOutput(known ? answer + L"\n" : L"usage: platform_probe <function> [argument]\n");
    platform::FlushOutput();
    return known ? 0 : 2;
}

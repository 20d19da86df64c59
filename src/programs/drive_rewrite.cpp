// Paths moved from one drive letter to another, as text.
#include "programs/drive_rewrite.h"

#include <cwchar>

#include "output/text.h"

namespace {

// What may stand before a path's drive letter, and after a moved program or
// its folder.
constexpr const wchar_t* kBeforePath = L" \t\"'=";
constexpr const wchar_t* kAfterProgram = L" \t\"',";
constexpr const wchar_t* kAfterFolder = L"\\\"'";

bool IsAsciiLetter(wchar_t ch) {
    return (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z');
}

wchar_t UpperAscii(wchar_t ch) {
    return ch >= L'a' && ch <= L'z' ? static_cast<wchar_t>(ch - L'a' + L'A') : ch;
}

// Whether text holds a drive letter, a colon and a backslash at at.
bool HoldsDriveAt(const std::wstring& text, std::size_t at) {
    return at + 3 <= text.size() && IsAsciiLetter(text[at]) && text[at + 1] == L':' &&
           text[at + 2] == L'\\';
}

bool IsOneOf(wchar_t ch, const wchar_t* set) {
    return ch != L'\0' && std::wcschr(set, ch) != nullptr;
}

// Whether text holds part at at, ignoring case, with the end of text or one
// of ends right after it.
bool HoldsPartAt(const std::wstring& text, std::size_t at, const std::wstring& part,
                 const wchar_t* ends) {
    if (part.empty() || at + part.size() > text.size() ||
        !EqualsIgnoringCase(text.substr(at, part.size()), part)) {
        return false;
    }
    const std::size_t end = at + part.size();
    return end == text.size() || IsOneOf(text[end], ends);
}

// Whether the path whose drive letter is text[at] names the moved program or
// lies in its folder.
bool NamesMoved(const std::wstring& text, std::size_t at, const MovedProgram& moved) {
    if (moved.from.size() < 3 || UpperAscii(text[at]) != UpperAscii(moved.from[0])) {
        return false;
    }
    const std::wstring program = moved.from.substr(2);  // "\Apps\Foo\foo.exe"
    const std::wstring folder = program.substr(0, program.rfind(L'\\'));  // "\Apps\Foo"
    return HoldsPartAt(text, at + 2, program, kAfterProgram) ||
           HoldsPartAt(text, at + 2, folder, kAfterFolder);
}

// Where the drive letter of the program a command starts is, or npos when it
// starts with none.
std::size_t ProgramStart(const std::wstring& command) {
    std::size_t at = command.find_first_not_of(L" \t");
    if (at != std::wstring::npos && command[at] == L'"') {
        ++at;
    }
    return at != std::wstring::npos && HoldsDriveAt(command, at) ? at : std::wstring::npos;
}

}  // namespace

wchar_t DriveLetterOf(const std::wstring& path) {
    const std::size_t at = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    return HoldsDriveAt(path, at) ? UpperAscii(path[at]) : L'\0';
}

wchar_t CommandDrive(const std::wstring& command) {
    const std::size_t at = ProgramStart(command);
    return at == std::wstring::npos ? L'\0' : UpperAscii(command[at]);
}

std::wstring CommandOnDrive(const std::wstring& command, wchar_t drive) {
    const std::size_t at = ProgramStart(command);
    if (at == std::wstring::npos) {
        return std::wstring();
    }
    std::wstring moved = command;
    moved[at] = drive;
    return moved;
}

std::wstring WithMovedDrive(const std::wstring& text, const std::vector<MovedProgram>& moved) {
    std::wstring result = text;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!HoldsDriveAt(text, at) || (at > 0 && !IsOneOf(text[at - 1], kBeforePath))) {
            continue;
        }
        for (const MovedProgram& program : moved) {
            if (NamesMoved(text, at, program)) {
                result[at] = program.to[0];
                break;
            }
        }
    }
    return result;
}

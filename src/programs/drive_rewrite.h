// Paths moved from one drive letter to another, as text: what changes in a
// registration when Windows gives a USB stick another letter. Pure: nothing
// here asks the file system.
#pragma once

#include <string>
#include <vector>

// A program found on another drive: its old full path and its new one, which
// differ in the drive letter alone.
struct MovedProgram {
    std::wstring from;
    std::wstring to;
};

// The drive letter, in upper case, that a full path starts with ("E:\…", or
// "\\?\E:\…"); 0 for any other path: a bare name, a relative or a network
// path.
wchar_t DriveLetterOf(const std::wstring& path);

// The drive letter, in upper case, of the program a command starts: its first
// word, after blanks and an opening quote, starting with a letter, a colon and
// a backslash; 0 for any other command.
wchar_t CommandDrive(const std::wstring& command);
// command with that drive letter changed to drive; empty when it has none.
std::wstring CommandOnDrive(const std::wstring& command, wchar_t drive);

// text with the drive letter of each path that names a moved program, or lies
// in the program's folder, changed to the one the program has now. A path
// counts only where its drive letter starts it: at the start of text or after
// a blank, a quote or =, never inside a word ("FILE:\"). A folder counts only
// below a drive's root, and is followed by \, a quote or the end (a space
// may start another folder's name); the program itself may also be followed
// by a blank or a comma, as in an unquoted command or an icon. Every other
// path stays as it is.
std::wstring WithMovedDrive(const std::wstring& text, const std::vector<MovedProgram>& moved);

// The program a command line starts, found the way Windows finds it.
#pragma once

#include <string>

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

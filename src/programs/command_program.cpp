// The program a command line starts.
#include "programs/command_program.h"

#include "platform/platform.h"

CommandProgram FindCommandProgram(const std::wstring& command) {
    CommandProgram program;
    const std::size_t start = command.find_first_not_of(L" \t");
    if (start == std::wstring::npos) {
        return program;
    }
    if (command[start] == L'"') {
        const std::size_t close = command.find(L'"', start + 1);
        program.shape = CommandProgram::Shape::Quoted;
        program.path = command.substr(
            start + 1, close == std::wstring::npos ? std::wstring::npos : close - start - 1);
        program.exists = platform::IsExistingFile(program.path);
        return program;
    }
    const std::wstring unquoted = command.substr(start);
    program.shape = unquoted.find(L' ') == std::wstring::npos ? CommandProgram::Shape::OneWord
                                                               : CommandProgram::Shape::Words;
    for (std::size_t space = unquoted.find(L' '); space != std::wstring::npos;
         space = unquoted.find(L' ', space + 1)) {
        if (platform::IsExistingFile(unquoted.substr(0, space))) {
            program.path = unquoted.substr(0, space);
            program.exists = true;
            return program;
        }
    }
    program.path = unquoted;
    program.exists = platform::IsExistingFile(unquoted);
    return program;
}

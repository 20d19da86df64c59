// A shell link (.lnk) file read from its bytes, as [MS-SHLLINK] lays it out:
// the ShellLinkHeader, the LinkTargetIDList (passed over), the LinkInfo with
// the path the target had when the link was saved, the StringData and the
// ExtraData with its EnvironmentVariableDataBlock. The file is anyone's, so
// every size and offset is checked against the bytes before it is used; the
// parser is pure so that it is tested on Linux, hostile files included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace shell_link {

// What a link stores about the program it starts. Each text is empty when
// the link holds none.
struct Link {
    // LinkInfo's LocalBasePath with its CommonPathSuffix (the Unicode forms
    // when the link has them): the target as it was when the link was saved.
    std::wstring linkInfoPath;
    // The EnvironmentVariableDataBlock's target, with its %variables%
    // unexpanded; taken only when the header announces it (HasExpString).
    std::wstring environmentPath;
    // RELATIVE_PATH: the target relative to the folder the link is in.
    std::wstring relativePath;
    std::wstring workingDirectory;  // WORKING_DIR ("Start in")
    std::wstring arguments;         // COMMAND_LINE_ARGUMENTS
    bool hasIdList = false;         // a LinkTargetIDList, which only the shell reads
};

// Turns a string in the system's ANSI code page into text.
using AnsiDecoder = std::wstring (*)(const std::string& text);

// Reads a link's bytes. False when they are no shell link (wrong header
// size or class) or a structure the header announces does not fit in them.
// An ExtraData block that does not fit ends the reading of ExtraData only.
bool Parse(const std::vector<std::uint8_t>& bytes, AnsiDecoder decodeAnsi, Link& out);

}  // namespace shell_link

// Fuzzes the shell link parser with any bytes as a dropped .lnk file: it
// must never read past them (AddressSanitizer watches), and what it reads
// must come from them: no text longer than twice the file (a LinkInfo path
// joins two strings that may be the same bytes), and the target rule must
// pick one of the texts it read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/native_view.h"
#include "platform/shell_link.h"
#include "support/shell_link_file.h"

namespace {

bool NothingExists(const std::wstring&) {
    return false;
}

std::wstring Same(const std::wstring& text) {
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    shell_link::Link link;
    if (!shell_link::Parse(bytes, test_link::Latin1, link)) {
        return 0;
    }
    for (const std::wstring* text : {&link.linkInfoPath, &link.environmentPath, &link.relativePath,
                                     &link.workingDirectory, &link.arguments}) {
        if (text->size() > 2 * size) {
            __builtin_trap();
        }
    }
    const platform::ShortcutLookups lookups = {NothingExists, Same, Same};
    const std::wstring target = platform::NativeShortcutTarget(link, L"C:\\Links\\x.lnk", lookups);
    if (!target.empty() && target != link.linkInfoPath && target != link.environmentPath &&
        target.find(link.relativePath) == std::wstring::npos) {
        __builtin_trap();
    }
    return 0;
}

// The shell link parser on links as the shell writes them, and on files
// that lie about their own sizes.
#include <gtest/gtest.h>

#include "platform/shell_link.h"
#include "support/shell_link_file.h"

namespace {

using test_link::Latin1;
using test_link::LinkBytes;
using test_link::Layout;

std::uint32_t Little32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::vector<std::uint8_t> Poked(std::vector<std::uint8_t> bytes, std::size_t at, std::uint32_t value,
                                std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return bytes;
}

// Every part of a link, its LinkInfo path in Unicode too.
Layout FullLayout() {
    Layout layout;
    layout.linkInfoPath = L"C:\\Program Files (x86)\\Foo\\foo.exe";
    layout.unicodeLinkInfo = true;
    layout.environment = L"%ProgramFiles%\\Foo\\foo.exe";
    layout.relativePath = L"..\\..\\Program Files (x86)\\Foo\\foo.exe";
    layout.workingDirectory = L"C:\\Program Files (x86)\\Foo";
    layout.arguments = L"--profile \"D:\\P\"";
    return layout;
}

TEST(ShellLinkTest, ReadsEachPartTheLinkHolds) {
    Layout ansi;
    ansi.linkInfoPath = L"E:\\Caf\u00e9\\web.exe";  // 8-bit LocalBasePath only
    ansi.idList = false;
    const std::vector<std::uint8_t> full = LinkBytes(FullLayout());
    const struct {
        const char* id;
        std::vector<std::uint8_t> bytes;
        shell_link::Link link;
    } cases[] = {
        {"every part", full,
         {L"C:\\Program Files (x86)\\Foo\\foo.exe", L"%ProgramFiles%\\Foo\\foo.exe",
          L"..\\..\\Program Files (x86)\\Foo\\foo.exe", L"C:\\Program Files (x86)\\Foo",
          L"--profile \"D:\\P\"", true}},
        {"an 8-bit path alone", LinkBytes(ansi), {L"E:\\Caf\u00e9\\web.exe", L"", L"", L"", L"", false}},
        // The header's flags decide what is taken: no HasExpString, no
        // block; ForceNoLinkInfo, no LinkInfo path.
        {"a block the header does not announce", Poked(full, 0x14, 0xBB, 4),
         {L"C:\\Program Files (x86)\\Foo\\foo.exe", L"", L"..\\..\\Program Files (x86)\\Foo\\foo.exe",
          L"C:\\Program Files (x86)\\Foo", L"--profile \"D:\\P\"", true}},
        {"LinkInfo to be ignored", Poked(full, 0x14, 0x3BB, 4),
         {L"", L"%ProgramFiles%\\Foo\\foo.exe", L"..\\..\\Program Files (x86)\\Foo\\foo.exe",
          L"C:\\Program Files (x86)\\Foo", L"--profile \"D:\\P\"", true}},
        {"a share alone (no local path)", Poked(full, 0x50 + 8, 2, 4),
         {L"", L"%ProgramFiles%\\Foo\\foo.exe", L"..\\..\\Program Files (x86)\\Foo\\foo.exe",
          L"C:\\Program Files (x86)\\Foo", L"--profile \"D:\\P\"", true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        shell_link::Link link;
        ASSERT_TRUE(shell_link::Parse(c.bytes, Latin1, link));
        EXPECT_EQ(link.linkInfoPath, c.link.linkInfoPath);
        EXPECT_EQ(link.environmentPath, c.link.environmentPath);
        EXPECT_EQ(link.relativePath, c.link.relativePath);
        EXPECT_EQ(link.workingDirectory, c.link.workingDirectory);
        EXPECT_EQ(link.arguments, c.link.arguments);
        EXPECT_EQ(link.hasIdList, c.link.hasIdList);
    }
}

// Every size and offset is checked before it is used: a file cut anywhere,
// or one whose sizes point past its end or wrap around, is refused or read
// as far as it holds, and never read beyond (AddressSanitizer watches).
TEST(ShellLinkTest, HostileSizesAndOffsetsAreRefused) {
    const std::vector<std::uint8_t> full = LinkBytes(FullLayout());
    constexpr std::size_t kLinkInfo = 0x50;  // after the header and the empty ID list
    const std::size_t strings = kLinkInfo + Little32(full, kLinkInfo);
    const std::size_t extra = full.size() - 4 - 0x314;
    for (std::size_t size = 0; size < full.size(); ++size) {
        SCOPED_TRACE(size);
        shell_link::Link link;
        const bool read = shell_link::Parse(
            std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size)),
            Latin1, link);
        EXPECT_EQ(read, size >= extra) << "only ExtraData may be cut short";
        EXPECT_EQ(link.environmentPath.empty(), size < extra + 0x314);
    }
    const struct {
        const char* id;
        std::size_t at;
        std::uint32_t value;
        std::size_t size;
        bool read;
    } cases[] = {
        {"header size", 0, 0x4D, 4, false},
        {"class", 4, 0x02, 1, false},
        {"ID list past the end", 0x4C, 0xFFFF, 2, false},
        {"LinkInfo past the end", kLinkInfo, 0xFFFFFFFF, 4, false},
        {"LinkInfo smaller than its header", kLinkInfo, 8, 4, false},
        {"LinkInfo header past LinkInfo", kLinkInfo + 4, 0xFFFFFFF0, 4, false},
        {"LinkInfo header too small", kLinkInfo + 4, 0x10, 4, false},
        {"local path past LinkInfo", kLinkInfo + 28, 0xFFFFFFFF, 4, false},
        {"local path wrapping around", kLinkInfo + 28, 0xFFFFFFF0, 4, false},
        {"suffix past LinkInfo", kLinkInfo + 32, 0x7FFFFFFF, 4, false},
        {"local path with no end in LinkInfo", kLinkInfo + 28, Little32(full, kLinkInfo) - 1, 4,
         false},
        {"a string past the end", strings, 0xFFFF, 2, false},
        {"a block past the end", extra, 0xFFFFFFFF, 4, true},
        {"a block shorter than its own header", extra, 7, 4, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        shell_link::Link link;
        EXPECT_EQ(shell_link::Parse(Poked(full, c.at, c.value, c.size), Latin1, link), c.read);
        EXPECT_TRUE(link.environmentPath.empty());
    }
}

}  // namespace

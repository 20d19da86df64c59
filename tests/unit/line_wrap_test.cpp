// Lines wrapped at spaces to a console window's width.
#include <gtest/gtest.h>

#include "platform/line_wrap.h"

namespace {

TEST(LineWrapTest, LinesBreakAtSpacesIndentedAsTheirFirstRow) {
    const std::wstring hint =
        L"To register a browser for yourself, drag its .exe or its shortcut onto Marovendel.exe.";
    const struct {
        const char* id;
        std::size_t width;
        std::wstring text;
        std::wstring wrapped;
    } cases[] = {
        {"no width: as it is", 0, hint + L"\n", hint + L"\n"},
        {"fits", 80, L"short\n\n  indented  twice \n", L"short\n\n  indented  twice \n"},
        {"the drag hint in 80 columns", 80, hint + L"\n",
         L"To register a browser for yourself, drag its .exe or its shortcut onto\n"
         L"Marovendel.exe.\n"},
        {"a row one short of the width fits", 10, L"123456789\n1234567890\n",
         L"123456789\n1234567890\n"},
        {"a row that fills the width does not", 10, L"12345 7890\n", L"12345\n7890\n"},
        {"continuation indented as the first row", 24,
         L"  1. Chromium  C:\\Apps\\Chromium\\chrome.exe [default for http]\n",
         L"  1. Chromium\n  C:\\Apps\\Chromium\\chrome.exe\n  [default for http]\n"},
        {"a path wider than the window alone on its row", 20,
         L"kept in C:\\PortableApps\\Chromium\\User Data for you",
         L"kept in\nC:\\PortableApps\\Chromium\\User\nData for you"},
        {"a path with spaces in its folders' names is one word", 24,
         L"Opened \"C:\\Program Files\\My Web\\web.exe\" --x (C:\\A B\\c) for you\n",
         L"Opened\n\"C:\\Program Files\\My Web\\web.exe\"\n--x (C:\\A B\\c) for you\n"},
        {"runs of spaces kept within a row, dropped at a break", 12, L"ab  cd   efgh  ij\n",
         L"ab  cd\nefgh  ij\n"},
        {"an indent too deep to repeat", 12, L"        aaa bbb ccc\n", L"        aaa\nbbb ccc\n"},
        // A console cell holds one UTF-16 unit; a wide character takes two.
        {"a character beyond the BMP takes two columns", 6, L"\U0001F310\U0001F310 \U0001F310 x\n",
         L"\U0001F310\U0001F310\n\U0001F310 x\n"},
        {"an East Asian wide character takes two columns", 10,
         L"\u65E5\u672C\u8A9E \u306E\u30D1\u30B9 x\n",
         L"\u65E5\u672C\u8A9E\n\u306E\u30D1\u30B9 x\n"},
        {"trailing spaces where they fit", 9, L"abc def   \nabc de fghi  \n",
         L"abc def\nabc de\nfghi  \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(platform::WrapLines(c.text, c.width), c.wrapped);
    }
}

// Pieces cut anywhere come out as the whole text would; without a width,
// each piece goes out at once and as it is.
TEST(LineWrapTest, PiecesComeOutAsTheWholeText) {
    const std::wstring text =
        L"Remove Foo? Its registration is saved to C:\\Tools\\Foo.reg first, which restores it.\n"
        L"  2. Gone  E:\\Gone\\gone.exe [program not found]\nType y";
    for (std::size_t width : {0u, 20u, 80u}) {
        for (std::size_t cut = 0; cut <= text.size(); cut += 7) {
            SCOPED_TRACE(std::to_string(width) + " cut at " + std::to_string(cut));
            platform::LineWrapper wrapper(width);
            const std::wstring first = wrapper.Wrap(text.substr(0, cut));
            if (width == 0) {
                EXPECT_EQ(first, text.substr(0, cut));
            }
            const std::wstring second = wrapper.Wrap(text.substr(cut));
            const std::wstring out = first + second + wrapper.Flush();
            EXPECT_EQ(out, platform::WrapLines(text, width));
        }
    }
}

}  // namespace

// An earlier default-associations file read back, and the Version a file
// written again with -once gets.
#include <gtest/gtest.h>

#include <chrono>

#include "output/default_associations.h"

namespace {

using default_associations::Earlier;
using default_associations::EntryOf;

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

std::string File(const std::string& root, const std::string& body) {
    return kHead + root + "\r\n" + body + "</DefaultAssociations>\r\n";
}

// ASCII text as UTF-16 after its byte-order mark, as Windows PowerShell's
// Out-File writes it.
std::string Utf16(const std::string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char ch : text) {
        bytes += bigEndian ? std::string{'\0', ch} : std::string{ch, '\0'};
    }
    return bytes;
}

std::string Entry(const std::string& identifier, const std::string& progId) {
    return "  <Association Identifier=\"" + identifier + "\" ProgId=\"" + progId +
           "\" ApplicationName=\"A&amp;B\" Suggested=\"true\" />\r\n";
}

TEST(DefaultAssociationsTest, TheVersionRisesOnlyWhenWhatIsSuggestedChanged) {
    const std::vector<default_associations::Entry> fresh = {EntryOf(L".htm", L"FooURL", L"A&B"),
                                                            EntryOf(L"http", L"FooURL", L"A&B")};
    const std::string same = Entry(".htm", "FooURL") + Entry("http", "FooURL");
    const struct {
        const char* id;
        std::optional<std::string> earlier;  // nothing: no earlier file
        std::uint32_t version;
    } cases[] = {
        {"no earlier file", std::nullopt, 1},
        {"an earlier file without a Version", File("<DefaultAssociations>", same), 1},
        {"the same associations", File("<DefaultAssociations Version=\"3\">", same), 3},
        {"the same, in another order and form",
         File("<DefaultAssociations\r\n  Version='3' >",
              "<!-- <Association Identifier=\".pdf\" ProgId=\"X\" ApplicationName=\"X\" /> -->"
              "<Association ApplicationName='A&#38;B' ProgId = 'Foo&#x55;RL' Identifier='http'/>" +
                  Entry(".htm", "FooURL")),
         3},
        {"another class", File("<DefaultAssociations Version=\"3\">",
                               Entry(".htm", "FooURL") + Entry("http", "BarURL")), 4},
        {"one more type", File("<DefaultAssociations Version=\"3\">", same + Entry(".pdf", "FooURL")),
         4},
        {"a Version that is no number", File("<DefaultAssociations Version=\"3a\">", same), 1},
        {"a Version past a DWORD", File("<DefaultAssociations Version=\"4294967296\">", same), 1},
        {"the highest Version", File("<DefaultAssociations Version=\"4294967295\">", ""), 4294967295u},
        {"the same, in UTF-16", Utf16(File("<DefaultAssociations Version=\"3\">", same), false), 3},
        {"another class, in UTF-16 big-endian",
         Utf16(File("<DefaultAssociations Version=\"3\">", Entry(".htm", "BarURL")), true), 4},
        {"not a defaults file", std::string("\xEF\xBB\xBF<html Version=\"7\"><Association/>"), 1},
        {"cut after its Version", File("<DefaultAssociations Version=\"5\">", "").substr(0, 75), 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        std::optional<Earlier> earlier;
        if (c.earlier) {
            earlier = default_associations::ReadEarlier(*c.earlier);
        }
        EXPECT_EQ(default_associations::NewVersion(earlier, fresh), c.version);
    }
}

TEST(DefaultAssociationsTest, AttributesReadAsAParserReadsThem) {
    const Earlier earlier = default_associations::ReadEarlier(
        File("<DefaultAssociations Version=\"2\">",
             "<Association Identifier=\"a\tb&#9;c\r\nd\" ProgId=\"\xC3\xA9\xE6\x97\xA5\xFF&bogus;\" "
             "ApplicationName=\"&#xD800;&lt;\"/>"));
    ASSERT_EQ(earlier.entries.size(), 1u);
    EXPECT_EQ(earlier.version, 2u);
    EXPECT_EQ(earlier.entries[0].identifier, U"a b\tc d");
    EXPECT_EQ(earlier.entries[0].progId, U"\u00e9\u65e5\uFFFD&bogus;");
    EXPECT_EQ(earlier.entries[0].applicationName, U"&#xD800;<");
}

// Read back before every -once write: a file anyone could have put there
// must not hold the command for minutes.
TEST(DefaultAssociationsTest, AValueOfManyAmpersandsReadsInOnePass) {
    const std::string ampersands(200000, '&');
    const auto start = std::chrono::steady_clock::now();
    const Earlier earlier = default_associations::ReadEarlier(
        File("<DefaultAssociations Version=\"2\">", Entry(ampersands + "&amp;", "X")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_EQ(earlier.entries.size(), 1u);
    EXPECT_EQ(earlier.entries[0].identifier, std::u32string(200001, U'&'));
}

}  // namespace

// The name rule: a ClientName can only be made from text every key path,
// value name and backup file name can hold whole.
#include <gtest/gtest.h>

#include "registration/layout.h"

namespace {

using registration::ClientName;

TEST(ClientNameTest, IsMadeOnlyFromTextTheRuleAccepts) {
    const std::wstring longest(191, L'n');
    // U+1F310 takes two UTF-16 units, whatever the width of wchar_t here.
    const std::wstring globe = sizeof(wchar_t) == 2 ? std::wstring(L"\xD83C\xDF10")
                                                    : std::wstring(1, static_cast<wchar_t>(0x1F310));
    const struct {
        const char* id;
        std::wstring text;
        const wchar_t* problem;  // null: accepted
    } cases[] = {
        {"plain", L"Foo Browser", nullptr},
        {"non-ascii", L"Caf\u00e9 \u6d4f\u89c8\u5668", nullptr},
        {"longest", longest, nullptr},
        {"longest-with-pair", std::wstring(189, L'n') + globe, nullptr},
        {"empty", L"", L"The browser name must not be empty.\n"},
        {"backslash", L"a\\b", L"The browser name must not contain \\ or /.\n"},
        {"slash", L"..//x", L"The browser name must not contain \\ or /.\n"},
        {"tab", L"a\tb", L"The browser name must not contain control characters.\n"},
        {"delete-char", L"a\x7f", L"The browser name must not contain control characters.\n"},
        {"too-long", longest + L"n", L"The browser name must not be longer than 191 characters.\n"},
        {"pair-past-limit", std::wstring(190, L'n') + globe,
         L"The browser name must not be longer than 191 characters.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const wchar_t* problem = L"unset";
        const std::optional<ClientName> name = ClientName::From(c.text, &problem);
        EXPECT_EQ(name.has_value(), c.problem == nullptr);
        EXPECT_EQ(std::wstring(problem == nullptr ? L"" : problem),
                  std::wstring(c.problem == nullptr ? L"" : c.problem));
        if (name) {
            EXPECT_LE(registry::Utf16Length(registration::UrlAssociationsPath(
                          registration::CapabilitiesPath(*name))),
                      registration::kMaxKeyPathChars);
        }
    }
}

TEST(ClientNameTest, CleanedMakesAnyDescriptionIntoAName) {
    const struct {
        const char* id;
        std::wstring text;
        std::wstring name;  // empty: no name at all
    } cases[] = {
        {"kept", L"Firefox Developer Edition", L"Firefox Developer Edition"},
        {"separators-and-controls", L"  Foo/Bar\\Baz\t\r\nQux  ", L"Foo Bar Baz Qux"},
        {"nothing-left", L" \\ / \t", L""},
        {"cut-then-trimmed", std::wstring(190, L'n') + L" tail", std::wstring(190, L'n')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const std::optional<ClientName> name = ClientName::Cleaned(c.text);
        EXPECT_EQ(name ? name->Text() : std::wstring(), c.name);
    }
}

}  // namespace

// The .ini reader a portable package's launcher settings are read with: the
// encodings such files come in, and the lines the launcher itself would read.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "programs/ini_file.h"
#include "support/backup_bytes.h"

namespace {

using backup_bytes::Unicode;
const auto Bytes = backup_bytes::Ascii;  // each char a byte of the file

// Stands in for the ANSI code page, marking what it was given.
std::wstring MarkedLatin1(const std::vector<std::uint8_t>& bytes) {
    return L"ansi:" + std::wstring(bytes.begin(), bytes.end());
}

TEST(IniFileTest, DecodesEachEncodingALauncherFileComesIn) {
    const struct {
        const char* id;
        std::vector<std::uint8_t> bytes;
        std::wstring text;
    } cases[] = {
        {"UTF-8 with its mark", Bytes("\xEF\xBB\xBF" "Caf\xC3\xA9"), L"Caf\u00e9"},
        {"UTF-8 without a mark", Bytes("Caf\xC3\xA9\\\xE6\x97\xA5"), L"Caf\u00e9\\\u65e5"},
        {"UTF-16LE with its mark", Unicode(L"[Launch]\r\nP=Caf\u00e9\\\u65e5.exe"),
         L"[Launch]\r\nP=Caf\u00e9\\\u65e5.exe"},
        {"ANSI: not UTF-8", Bytes("Caf\xE9"), L"ansi:Caf\u00e9"},
        {"ANSI: an overlong form", Bytes("a\xC0\xAF"), L"ansi:a\u00c0\u00af"},
        {"ANSI: cut in a sequence", Bytes("x\xE6\x97"), L"ansi:x\u00e6\u0097"},
        {"marked UTF-8 with a bad byte", Bytes("\xEF\xBB\xBFx\xFFy"), L"x\uFFFDy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(ini_file::Decode(c.bytes, MarkedLatin1), c.text);
    }
}

// What GetPrivateProfileStringW would give for each key, or nothing.
TEST(IniFileTest, FindsAValueAsTheLauncherReadsIt) {
    const std::wstring launcher =
        L"; ProgramExecutable=commented\\out.exe\r\n"
        L"Loose=before any section\r\n"
        L"[Launch]\r\n"
        L"  programexecutable \t=  Chrome-bin\\chrome.exe  \r\n"
        L"ProgramExecutable=second\\ignored.exe\r\n"
        L"ProgramExecutable64=\r\n"
        L"Quoted=\"App Dir\\x.exe\"\r\n"
        L"Lone=\"\r\n"
        L"=no key\r\n"
        L"no equals sign\r\n"
        L"[ Activate ]\n"
        L"Java=find\r"
        L"[Other]\r\n"
        L"Only=here\r\n";
    const struct {
        const char* id;
        const wchar_t* section;
        const wchar_t* key;
        std::optional<std::wstring> value;
    } cases[] = {
        {"first, blanks and case ignored", L"LAUNCH", L"ProgramExecutable", L"Chrome-bin\\chrome.exe"},
        {"empty", L"Launch", L"ProgramExecutable64", L""},
        {"missing", L"Launch", L"ProgramExecutableWhenParameters", std::nullopt},
        {"double quotes", L"Launch", L"Quoted", L"App Dir\\x.exe"},
        {"one quote stays", L"Launch", L"Lone", L"\""},
        {"in another section", L"Launch", L"Only", std::nullopt},
        {"section name trimmed, LF and CR line ends", L"Activate", L"Java", L"find"},
        {"before any section", L"", L"Loose", L"before any section"},
        {"a comment is no entry", L"", L"; ProgramExecutable", std::nullopt},
    };
    const std::vector<ini_file::Entry> entries = ini_file::Entries(launcher);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(ini_file::Value(entries, c.section, c.key), c.value);
    }
    EXPECT_EQ(entries.size(), 8u) << "lines without a key or an equals sign are no entries";
}

}  // namespace

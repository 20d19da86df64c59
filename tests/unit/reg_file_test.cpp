// The registry editor's file as backups write it: every value type, hex
// wrapping, empty keys, values read whole, and names counted in UTF-16.
#include <map>

#include "support/backup_bytes.h"
#include "support/run_command.h"

namespace {

using registry::memory::PutString;
using registry::memory::PutValue;
using namespace backup_bytes;

class RegFileTest : public CommandTest {};

TEST_F(RegFileTest, EveryTypeIsWrittenAsTheRegistryEditorWritesIt) {
    const std::vector<std::uint8_t> odd = {'a', 0, 'b'};
    const struct {
        const char* id;
        const wchar_t* name;
        std::uint32_t type;
        std::vector<std::uint8_t> bytes;
        std::wstring line;  // after the section line
        bool unicode;
    } cases[] = {
        {"string-escaped", L"a\"b\\c", registry::kRegSz, {}, L"", false},  // seeded below
        {"dword", L"n", registry::kRegDword, {0xff, 0, 0, 0}, L"\"n\"=dword:000000ff", false},
        {"dword-default", nullptr, registry::kRegDword, {1, 2, 3, 4}, L"\"\"=dword:04030201", false},
        {"short-dword", L"d", registry::kRegDword, {1, 2}, L"\"d\"=hex(4):01,02", false},
        {"qword", L"q", registry::kRegQword, {1, 2, 3, 4, 5, 6, 7, 8},
         L"\"q\"=hex(b):01,02,03,04,05,06,07,08", false},
        {"binary-empty", L"b", registry::kRegBinary, {}, L"\"b\"=hex:", false},
        {"odd-type", L"t", 0x2a, {0xab}, L"\"t\"=hex(2a):ab", false},
        {"none", L"z", registry::kRegNone, {0}, L"\"z\"=hex(0):00", false},
        {"expand-unexpanded", L"e", registry::kRegExpandSz, {'%', 0, 'P', 0, '%', 0, 0, 0},
         L"\"e\"=hex(2):25,00,50,00,25,00,00,00", true},
        {"multi", L"m", registry::kRegMultiSz, {'a', 0, 0, 0, 0, 0}, L"\"m\"=hex(7):61,00,00,00,00,00", true},
        {"no-terminator", L"s", registry::kRegSz, {'h', 0, 'i', 0}, L"\"s\"=hex(1):68,00,69,00", true},
        {"odd-bytes", L"s", registry::kRegSz, odd, L"\"s\"=hex(1):61,00,62", true},
        {"embedded-nul", L"s", registry::kRegSz, {'a', 0, 0, 0, 'b', 0, 0, 0},
         L"\"s\"=hex(1):61,00,00,00,62,00,00,00", true},
        {"line-break", L"s", registry::kRegSz, {'a', 0, '\n', 0, 0, 0}, L"\"s\"=hex(1):61,00,0a,00,00,00", true},
        {"tab", L"s", registry::kRegSz, {'\t', 0, 0, 0}, L"\"s\"=hex(1):09,00,00,00", true},
        {"empty-string", L"s", registry::kRegSz, {}, L"\"s\"=hex(1):", true},
        {"non-ascii", L"\u00e9", registry::kRegSz, {0x65, 0x65, 0, 0}, L"\"\u00e9\"=\"\u6565\"", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        std::wstring line = c.line;
        if (std::string(c.id) == "string-escaped") {
            PutString(RootKey::CurrentUser, kClient, c.name, L"C:\\Apps\\Foo \"x\"");
            line = L"\"a\\\"b\\\\c\"=\"C:\\\\Apps\\\\Foo \\\"x\\\"\"";
        } else {
            PutValue(RootKey::CurrentUser, kClient, c.name, c.type, c.bytes);
        }
        EXPECT_EQ(RunCommand({L"delete", L"HKCU", L"Foo"}).status, 2);  // no RegisteredApplications value
        const std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n"
                                  L"[HKEY_CURRENT_USER\\SOFTWARE\\Clients\\StartMenuInternet\\Foo]\r\n" +
                                  line + L"\r\n\r\n";
        std::vector<std::uint8_t> expected = Unicode(text);
        if (!c.unicode) {
            expected = Ascii(std::string(text.begin(), text.end()));
        }
        EXPECT_EQ(Shown(test_platform::FileContents(kBackup)), Shown(expected));
        EXPECT_EQ(test_platform::FileContents(kBackup), expected);
    }
}

TEST_F(RegFileTest, HexDataWrapsAsTheRegistryEditorWrapsIt) {
    PutValue(RootKey::CurrentUser, kClient, L"Binary", registry::kRegBinary,
             std::vector<std::uint8_t>(50, 0xab));
    RunCommand({L"delete", L"HKCU", L"Foo"});
    // "Binary"=hex: is 13 characters; a line is broken once it reaches 77.
    const std::string first = "\"Binary\"=hex:" + [] {
        std::string s;
        for (int i = 0; i < 22; ++i) s += "ab,";
        return s;
    }() + "\\\r\n";
    std::string second = "  ";
    for (int i = 0; i < 25; ++i) second += "ab,";
    second += "\\\r\n";
    const std::string third = "  ab,ab,ab\r\n\r\n";
    const std::string expected = "Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\SOFTWARE\\Clients\\StartMenuInternet\\Foo]\r\n" +
                                 first + second + third;
    EXPECT_EQ(test_platform::FileContents(kBackup), Ascii(expected)) << Shown(Ascii(expected));
    EXPECT_LE(first.size() - 2, 80u);
    EXPECT_LE(second.size() - 2, 80u);
}

TEST_F(RegFileTest, EveryKeyIsWrittenSoThatImportRecreatesIt) {
    const std::wstring section = L"[HKEY_CURRENT_USER\\SOFTWARE\\Clients\\StartMenuInternet\\Foo";
    const struct {
        const char* id;
        std::vector<std::wstring> keys;  // below the client key, seeded empty
        std::wstring entries;            // after the first two lines
        bool unicode;
    } cases[] = {
        {"empty-client", {}, section + L"]\r\n\r\n", false},
        // Only the empty leaf gets a line; importing it recreates its parents.
        {"empty-leaf", {L"a\\b"}, section + L"\\a\\b]\r\n\r\n", false},
        {"two-leaves", {L"a\\b", L"a\\c"}, section + L"\\a\\b]\r\n\r\n" + section + L"\\a\\c]\r\n\r\n", false},
        {"non-ascii-key", {L"\u00e9t\u00e9"}, section + L"\\\u00e9t\u00e9]\r\n\r\n", true},
        {"control-in-key", {L"a\tb"}, section + L"\\a\tb]\r\n\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        registry::memory::PutKey(RootKey::CurrentUser, kClient);
        for (const std::wstring& key : c.keys) {
            registry::memory::PutKey(RootKey::CurrentUser, kClient + L"\\" + key);
        }
        EXPECT_EQ(RunCommand({L"delete", L"HKCU", L"Foo"}).status, 2);  // no RegisteredApplications value
        const std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n" + c.entries;
        const std::vector<std::uint8_t> expected =
            c.unicode ? Unicode(text) : Ascii(std::string(text.begin(), text.end()));
        EXPECT_EQ(Shown(test_platform::FileContents(kBackup)), Shown(expected));
        EXPECT_EQ(test_platform::FileContents(kBackup), expected);
        EXPECT_FALSE(registry::memory::HasKey(RootKey::CurrentUser, kClient));
    }
}

TEST_F(RegFileTest, ValuesAreReadOnceEachFromTheOpenKeysAndWhateverTheirSize) {
    RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
    PutValue(RootKey::CurrentUser, kClient + L"\\Capabilities", L"Large", registry::kRegBinary,
             std::vector<std::uint8_t>(70000, 0x5a));
    const std::wstring before = registry::memory::Dump();
    RunCommand({L"delete", L"HKCU", L"Foo"});
    const auto plain = test_platform::FileContents(kBackup);
    ASSERT_TRUE(plain.has_value());
    const std::string text(plain->begin(), plain->end());
    std::size_t bytesWritten = 0;
    for (std::size_t at = text.find("5a"); at != std::string::npos; at = text.find("5a", at + 2)) {
        ++bytesWritten;
    }
    EXPECT_EQ(bytesWritten, 70000u);

    SetUp();
    RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
    PutValue(RootKey::CurrentUser, kClient + L"\\Capabilities", L"Large", registry::kRegBinary,
             std::vector<std::uint8_t>(70000, 0x5a));
    ASSERT_TRUE(registry::memory::Dump() == before);
    registry::memory::ClearFaultsAndCounters();
    // A value that outgrew the size its key reported is read again with more room.
    registry::memory::FailOperation(registry::memory::Op::EnumValue, L"\\Capabilities",
                                    registry::kMoreData, 2);
    registry::memory::FailOperation(registry::memory::Op::QueryValue, L"RegisteredApplications",
                                    registry::kMoreData, 1);
    const CommandResult result = RunCommand({L"delete", L"HKCU", L"Foo"});
    EXPECT_EQ(result.status, 0) << testing::PrintToString(result.output);
    EXPECT_TRUE(test_platform::FileContents(kBackup) == plain);

    std::size_t clientOpens = 0;
    std::size_t reads = 0;
    for (const registry::memory::OperationRecord& record : registry::memory::OperationLog()) {
        const bool inClient = record.path.find(L"StartMenuInternet\\Foo") != std::wstring::npos;
        clientOpens += record.op == registry::memory::Op::Open && inClient;
        reads += record.op == registry::memory::Op::QueryValue;
    }
    EXPECT_EQ(clientOpens, 7u);  // each key of the tree once
    EXPECT_EQ(reads, 2u);        // only the RegisteredApplications value, read twice for the fault
}

TEST_F(RegFileTest, HexLinesCountNamesInUtf16Units) {
    // Two characters beyond the Basic Multilingual Plane take four units, like
    // the four of the other name: both lines must break at the same places
    // (with these lengths, counting the first name as two would break later).
    std::wstring texts[2];
    const std::wstring names[2] = {L"\u00e9\u00e9\u00e9\u00e9", L"\U0001F600\U0001F600"};
    for (int i = 0; i < 2; ++i) {
        SetUp();
        PutValue(RootKey::CurrentUser, kClient, names[i].c_str(), registry::kRegBinary,
                 std::vector<std::uint8_t>(60, 0x11));
        RunCommand({L"delete", L"HKCU", L"Foo"});
        const auto bytes = test_platform::FileContents(kBackup);
        ASSERT_TRUE(bytes.has_value());
        ASSERT_GT(bytes->size(), 2u);
        texts[i] = registry::StringFromBytes(std::vector<std::uint8_t>(bytes->begin() + 2, bytes->end()));
    }
    const std::size_t at = texts[1].find(names[1]);
    ASSERT_NE(at, std::wstring::npos);
    EXPECT_EQ(texts[1].replace(at, names[1].size(), names[0]), texts[0]);
}

}  // namespace

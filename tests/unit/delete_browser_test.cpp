// Removal and its backup file: the bytes written, the encodings, and what is
// left untouched when the backup cannot be written.
#include <functional>
#include <map>

#include "output/backup_file.h"
#include "support/run_command.h"

namespace {

using registry::memory::PutString;
using registry::memory::PutValue;

const std::wstring kClient = L"SOFTWARE\\Clients\\StartMenuInternet\\Foo";
const std::wstring kBackup = L"C:\\Tools\\Foo.reg";

std::vector<std::uint8_t> Ascii(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> Unicode(const std::wstring& text) {
    std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
    std::vector<std::uint8_t> body = registry::ToUtf16Bytes(text);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

std::string Shown(const std::optional<std::vector<std::uint8_t>>& bytes) {
    if (!bytes) {
        return "(no file)";
    }
    std::string text;
    for (std::uint8_t b : *bytes) {
        text += (b >= 0x20 && b < 0x7F) || b == '\n' ? static_cast<char>(b) : '.';
    }
    return text;
}

class DeleteBrowserTest : public CommandTest {};

TEST_F(DeleteBrowserTest, APlainRegistrationBacksUpAsThe8BitFileByteForByte) {
    RunCommand({L"HKCU", L"Foo", L"C:\\Apps\\Foo\\foo.exe"});
    const int notified = test_platform::NotificationCount();
    CommandResult result = RunCommand({L"delete", L"hkcu", L"Foo"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              L"Successfully exported registry keys to C:\\Tools\\Foo.reg\n"
              L"Successfully deleted browser registry key: SOFTWARE\\Clients\\StartMenuInternet\\Foo\n"
              L"Successfully deleted browser from RegisteredApplications: Foo\n");
    const std::string k = "[HKEY_CURRENT_USER\\SOFTWARE\\Clients\\StartMenuInternet\\Foo";
    const std::string expected =
        "Windows Registry Editor Version 5.00\r\n\r\n" +
        k + "]\r\n@=\"Foo\"\r\n\r\n" +
        k + "\\Capabilities]\r\n\"ApplicationName\"=\"Foo\"\r\n\r\n" +
        k + "\\Capabilities]\r\n\"ApplicationIcon\"=\"C:\\\\Apps\\\\Foo\\\\foo.exe\"\r\n\r\n" +
        k + "\\Capabilities]\r\n\"ApplicationDescription\"=\"Foo\"\r\n\r\n" +
        k + "\\Capabilities\\FileAssociations]\r\n\".htm\"=\"FooURL\"\r\n\r\n" +
        k + "\\Capabilities\\FileAssociations]\r\n\".html\"=\"FooURL\"\r\n\r\n" +
        k + "\\Capabilities\\URLAssociations]\r\n\"http\"=\"FooURL\"\r\n\r\n" +
        k + "\\Capabilities\\URLAssociations]\r\n\"https\"=\"FooURL\"\r\n\r\n" +
        k + "\\shell\\open\\command]\r\n@=\"C:\\\\Apps\\\\Foo\\\\foo.exe\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\RegisteredApplications]\r\n"
        "\"Foo\"=\"Software\\\\Clients\\\\StartMenuInternet\\\\Foo\\\\Capabilities\"\r\n\r\n";
    EXPECT_EQ(Shown(test_platform::FileContents(kBackup)), Shown(Ascii(expected)));
    EXPECT_EQ(test_platform::FileContents(kBackup), Ascii(expected));
    EXPECT_FALSE(registry::memory::HasKey(RootKey::CurrentUser, kClient));
    EXPECT_TRUE(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Classes\\FooURL\\shell\\open\\command"));
    EXPECT_EQ(test_platform::NotificationCount(), notified + 1);
    EXPECT_EQ(test_platform::FilePaths(), std::vector<std::wstring>{kBackup});
}

TEST_F(DeleteBrowserTest, TheAllSwitchBacksUpTheClassLastAndDeletesItLast) {
    RunCommand({L"HKCU", L"Foo", L"C:\\Apps\\Foo\\foo.exe"});
    CommandResult plain = RunCommand({L"delete", L"HKCU", L"Foo"});
    const std::vector<std::uint8_t> plainBackup = *test_platform::FileContents(kBackup);

    SetUp();
    RunCommand({L"HKCU", L"Foo", L"C:\\Apps\\Foo\\foo.exe"});
    CommandResult result = RunCommand({L"delete", L"HKCU", L"Foo", L"-all"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, plain.output + L"Successfully deleted browser class key: SOFTWARE\\Classes\\FooURL\n");
    const std::string k = "[HKEY_CURRENT_USER\\SOFTWARE\\Classes\\FooURL";
    const std::string classEntries =
        k + "]\r\n@=\"Foo\"\r\n\r\n" +
        k + "]\r\n\"FriendlyTypeName\"=\"Foo\"\r\n\r\n" +
        k + "\\DefaultIcon]\r\n@=\"C:\\\\Apps\\\\Foo\\\\foo.exe\"\r\n\r\n" +
        k + "\\shell\\open\\command]\r\n@=\"\\\"C:\\\\Apps\\\\Foo\\\\foo.exe\\\" \\\"%1\\\"\"\r\n\r\n";
    std::vector<std::uint8_t> expected = plainBackup;
    expected.insert(expected.end(), classEntries.begin(), classEntries.end());
    EXPECT_EQ(Shown(test_platform::FileContents(kBackup)), Shown(expected));
    EXPECT_FALSE(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Classes\\FooURL"));
    EXPECT_TRUE(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Classes"));
}

TEST_F(DeleteBrowserTest, TheAllSwitchInEitherOrderExactlyAndAMissingClassFails) {
    const std::wstring tree = L"Successfully deleted browser registry key: " + kClient + L"\n";
    const std::wstring application = L"Successfully deleted browser from RegisteredApplications: Foo\n";
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        bool classPresent;
        int status;
        std::wstring output;
        bool classLeft;
    } cases[] = {
        {"nobackup-all", {L"-nobackup", L"-all"}, true, 0,
         tree + application + L"Successfully deleted browser class key: SOFTWARE\\Classes\\FooURL\n", false},
        {"all-nobackup", {L"-all", L"-nobackup"}, true, 0,
         tree + application + L"Successfully deleted browser class key: SOFTWARE\\Classes\\FooURL\n", false},
        {"upper-case", {L"-nobackup", L"-ALL"}, true, 1,
         L"-ALL is not an option of delete; its options are -nobackup and -all, in lower case.\n", true},
        {"slash", {L"-nobackup", L"x", L"/all"}, true, 1,
         L"/all is not an option of delete; its options are -nobackup and -all, in lower case.\n", true},
        {"third-word", {L"-nobackup", L"x", L"-all"}, true, 0,
         tree + application + L"Successfully deleted browser class key: SOFTWARE\\Classes\\FooURL\n", false},
        {"class-missing", {L"-all", L"-nobackup"}, false, 2,
         tree + application + L"Failed to delete browser class key: SOFTWARE\\Classes\\FooURL\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        if (!c.classPresent) {
            registry::memory::FailOperation(registry::memory::Op::Create, L"\\FooURL");
        }
        RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
        registry::memory::ClearFaultsAndCounters();
        ASSERT_EQ(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Classes\\FooURL"),
                  c.classPresent);
        std::vector<std::wstring> words = {L"delete", L"HKCU", L"Foo"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        CommandResult result = RunCommand(words);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Classes\\FooURL"), c.classLeft);
        EXPECT_TRUE(test_platform::FilePaths().empty());
    }
}

TEST_F(DeleteBrowserTest, EveryTypeIsWrittenAsTheRegistryEditorWritesIt) {
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

TEST_F(DeleteBrowserTest, HexDataWrapsAsTheRegistryEditorWrapsIt) {
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

TEST_F(DeleteBrowserTest, EveryKeyIsWrittenSoThatImportRecreatesIt) {
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

TEST_F(DeleteBrowserTest, ValuesAreReadOnceEachFromTheOpenKeysAndWhateverTheirSize) {
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

TEST_F(DeleteBrowserTest, HexLinesCountNamesInUtf16Units) {
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

TEST_F(DeleteBrowserTest, ABackupThatCannotBeWrittenWholeDeletesNothing) {
    const struct {
        const char* id;
        std::function<void()> fault;
        const wchar_t* line;
    } cases[] = {
        {"create", [] { test_platform::FailFileOperation(test_platform::FileOp::Create, L""); },
         L"Failed to create export file: C:\\Tools\\Foo (2).reg\n"},
        {"write", [] { test_platform::FailFileOperation(test_platform::FileOp::Write, L""); },
         L"Failed to export registry keys to C:\\Tools\\Foo (2).reg\n"},
        {"close", [] { test_platform::FailFileOperation(test_platform::FileOp::Close, L""); },
         L"Failed to export registry keys to C:\\Tools\\Foo (2).reg\n"},
        {"move", [] { test_platform::FailFileOperation(test_platform::FileOp::Move, L""); },
         L"Failed to export registry keys to C:\\Tools\\Foo (2).reg\n"},
        {"read-value", [] {
             registry::memory::FailOperation(registry::memory::Op::EnumValue, L"\\URLAssociations");
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"open-subkey", [] {
             registry::memory::FailOperation(registry::memory::Op::Open, L"\\shell\\open");
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"open-applications", [] {
             registry::memory::FailOperation(registry::memory::Op::Open, L"RegisteredApplications");
         }, L"Failed to open RegisteredApplications key.\nFailed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"line-break-in-name", [] {
             PutString(RootKey::CurrentUser, kClient + L"\\Capabilities", L"two\nlines", L"x");
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"line-break-in-key", [] {
             registry::memory::PutKey(RootKey::CurrentUser, kClient + L"\\two\rlines\\below");
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"child-path-too-long", [] {
             // 38 + 4 x 256 characters: more than the 1023 a child path may hold.
             const std::wstring name(255, L'n');
             registry::memory::PutKey(RootKey::CurrentUser,
                                      kClient + L"\\" + name + L"\\" + name + L"\\" + name + L"\\" + name);
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"query-info", [] {
             registry::memory::FailOperation(registry::memory::Op::QueryInfo, L"\\FileAssociations");
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"enum-key", [] {
             registry::memory::FailOperation(registry::memory::Op::EnumKey, L"\\Capabilities",
                                             registry::kAccessDenied, 2);
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"value-vanished", [] {
             registry::memory::FailOperation(registry::memory::Op::EnumValue, L"\\Capabilities",
                                             registry::kNoMoreItems, 3);
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"value-keeps-growing", [] {
             registry::memory::FailOperation(registry::memory::Op::EnumValue, L"\\Capabilities",
                                             registry::kMoreData);
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"open-client-denied", [] {
             registry::memory::FailOperation(registry::memory::Op::Open, L"StartMenuInternet\\Foo",
                                             registry::kAccessDenied, 1);
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
        {"query-applications-value", [] {
             registry::memory::FailOperation(registry::memory::Op::QueryValue, L"RegisteredApplications");
         }, L"Failed to export registry keys to C:\\Tools\\Foo.reg\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
        test_platform::PutFile(kBackup, {'o', 'l', 'd'});
        c.fault();
        const std::wstring before = registry::memory::Dump();
        CommandResult result = RunCommand({L"delete", L"HKCU", L"Foo"});
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.output, c.line);
        EXPECT_EQ(registry::memory::Dump(), before);
        EXPECT_EQ(test_platform::FileContents(kBackup), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
        EXPECT_EQ(test_platform::FilePaths(), std::vector<std::wstring>{kBackup});
    }
}

TEST_F(DeleteBrowserTest, ASecondRemovalKeepsTheFirstBackup) {
    RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
    RunCommand({L"delete", L"HKCU", L"Foo"});
    const auto first = test_platform::FileContents(kBackup);
    CommandResult result = RunCommand({L"delete", L"HKCU", L"Foo"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.output,
              L"Nothing to export for Foo.\n"
              L"Failed to delete browser registry key: SOFTWARE\\Clients\\StartMenuInternet\\Foo\n"
              L"Failed to delete browser from RegisteredApplications: Foo\n");
    EXPECT_EQ(test_platform::FileContents(kBackup), first);

    registry::memory::Reset();  // and without RegisteredApplications at all
    result = RunCommand({L"delete", L"HKCU", L"Foo"});
    EXPECT_EQ(result.output,
              L"Failed to open RegisteredApplications key.\n"
              L"Nothing to export for Foo.\n"
              L"Failed to delete browser registry key: SOFTWARE\\Clients\\StartMenuInternet\\Foo\n"
              L"Failed to open RegisteredApplications key.\n");
    EXPECT_EQ(test_platform::FileContents(kBackup), first);
}

TEST_F(DeleteBrowserTest, EveryNameGetsABackupFileThatNoOtherBackupReplaces) {
    const struct {
        const wchar_t* name;
        const wchar_t* program;
        const wchar_t* file;  // in C:\Tools
    } cases[] = {
        {L"100% Pure & \"Quoted\"", L"C:\\a.exe", L"100% Pure & _Quoted_.reg"},
        {L"What?<Angle>|Star*:x", L"C:\\a.exe", L"What__Angle__Star__x.reg"},
        {L"CON", L"C:\\a.exe", L"CON_.reg"},
        {L"nul.txt", L"C:\\a.exe", L"nul_.txt.reg"},
        {L"Com9", L"C:\\a.exe", L"Com9_.reg"},
        {L"lpt1 .x", L"C:\\a.exe", L"lpt1_ .x.reg"},
        {L"COM10", L"C:\\a.exe", L"COM10.reg"},
        {L"Trail. .", L"C:\\a.exe", L"Trail___.reg"},
        {L"Foo", L"C:\\webby.exe", L"Foo.reg"},
        {L"Foo", L"C:\\other.exe", L"Foo (2).reg"},  // a different registration
        {L"Foo", L"C:\\webby.exe", L"Foo.reg"},      // the same again: not written twice
        {L"Foo", L"C:\\third.exe", L"Foo (3).reg"},
    };
    std::map<std::wstring, std::vector<std::uint8_t>> written;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        RunCommand({L"HKCU", c.name, c.program});
        const std::wstring path = std::wstring(L"C:\\Tools\\") + c.file;
        const CommandResult result = RunCommand({L"delete", L"HKCU", c.name});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output.substr(0, result.output.find(L'\n') + 1),
                  L"Successfully exported registry keys to " + path + L"\n");
        const auto bytes = test_platform::FileContents(path);
        ASSERT_TRUE(bytes.has_value());
        const std::wstring text = (*bytes)[0] == 0xFF
            ? registry::StringFromBytes(std::vector<std::uint8_t>(bytes->begin() + 2, bytes->end()))
            : std::wstring(bytes->begin(), bytes->end());
        EXPECT_NE(text.find(std::wstring(L"StartMenuInternet\\") + c.name + L"]"), std::wstring::npos)
            << "the file holds the name as it is";
        EXPECT_NE(text.find(c.program + 3), std::wstring::npos);
        if (written.count(path) != 0) {
            EXPECT_EQ(*bytes, written[path]) << "an earlier backup was replaced";
        }
        written[path] = *bytes;
    }
    EXPECT_EQ(test_platform::FilePaths().size(), written.size());
    EXPECT_EQ(BackupFileStem(L"Tab\tx\x7f"), L"Tab_x\x7f");  // 1 to 31 only
}

TEST_F(DeleteBrowserTest, NoBackupAndOverlongPaths) {
    RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
    CommandResult result = RunCommand({L"delete", L"HKCU", L"Foo", L"-nobackup"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              L"Successfully deleted browser registry key: SOFTWARE\\Clients\\StartMenuInternet\\Foo\n"
              L"Successfully deleted browser from RegisteredApplications: Foo\n");
    EXPECT_TRUE(test_platform::FilePaths().empty());

    // -NOBACKUP is not the switch: it is refused, and nothing is removed.
    RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
    EXPECT_EQ(RunCommand({L"delete", L"HKCU", L"Foo", L"-NOBACKUP"}).status, 1);
    EXPECT_TRUE(registry::memory::HasKey(RootKey::CurrentUser, kClient));
    EXPECT_TRUE(test_platform::FilePaths().empty());

    // The temporary path, directory + \Foo.reg.tmp, may take 259 characters.
    for (std::size_t extra : {244u, 245u}) {
        SCOPED_TRACE(extra);
        SetUp();
        RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
        const std::wstring directory = L"C:\\" + std::wstring(extra, L'd');
        test_platform::SetExecutableDirectory(directory);
        const std::wstring before = registry::memory::Dump();
        result = RunCommand({L"delete", L"HKCU", L"Foo"});
        if (extra == 244u) {
            EXPECT_EQ(result.status, 0);
            EXPECT_TRUE(test_platform::FileContents(directory + L"\\Foo.reg").has_value());
            continue;
        }
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.output, L"The backup path is too long: " + directory + L"\\Foo.reg\n");
        EXPECT_TRUE(test_platform::FilePaths().empty());
        EXPECT_EQ(registry::memory::Dump(), before);
    }
}

}  // namespace

namespace {

TEST_F(DeleteBrowserTest, TheAllSwitchTakesTheClassOffEveryOpenWithListAfterBackingItUp) {
    RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe", L"-all"});
    // A type added to the associations by hand, a name no key can be made
    // from, and another program on one of the lists.
    const std::wstring files = kClient + L"\\Capabilities\\FileAssociations";
    PutString(RootKey::CurrentUser, files, L".mht", L"FooURL");
    PutString(RootKey::CurrentUser, files, L"x\\y", L"FooURL");
    for (const wchar_t* key : {L"Software\\Classes\\.mht\\OpenWithProgids",
                               L"Software\\Classes\\x\\y\\OpenWithProgids",
                               L"Software\\Classes\\.pdf\\OpenWithProgids"}) {
        PutValue(RootKey::CurrentUser, key, L"FooURL", registry::kRegNone, {});
    }
    PutValue(RootKey::CurrentUser, L"Software\\Classes\\.pdf\\OpenWithProgids", L"Reader.pdf",
             registry::kRegNone, {});

    CommandResult result = RunCommand({L"delete", L"HKCU", L"Foo", L"-all"});
    EXPECT_EQ(result.status, 0);
    std::wstring lines;
    std::string entries;
    for (const char* type : {".htm", ".html", ".shtml", ".xht", ".xhtml", ".svg", ".webp", ".avif",
                             ".pdf", ".mht"}) {
        const std::string key = std::string("SOFTWARE\\Classes\\") + type + "\\OpenWithProgids";
        lines += L"Successfully deleted FooURL from " + std::wstring(key.begin(), key.end()) + L".\n";
        entries += "[HKEY_CURRENT_USER\\" + key + "]\r\n\"FooURL\"=hex(0):\r\n\r\n";
    }
    EXPECT_EQ(result.output,
              L"Successfully exported registry keys to C:\\Tools\\Foo.reg\n"
              L"Successfully deleted browser registry key: SOFTWARE\\Clients\\StartMenuInternet\\Foo\n"
              L"Successfully deleted browser from RegisteredApplications: Foo\n"
              L"Successfully deleted browser class key: SOFTWARE\\Classes\\FooURL\n" + lines);
    // The values follow the class, which ends with its open command.
    const std::vector<std::uint8_t> backup = *test_platform::FileContents(kBackup);
    const std::string text(backup.begin(), backup.end());
    const std::string classEnd = "\\shell\\open\\command]\r\n@=\"\\\"C:\\\\foo.exe\\\" \\\"%1\\\"\"\r\n\r\n";
    EXPECT_EQ(text.substr(text.size() - entries.size() - classEnd.size()), classEnd + entries);

    EXPECT_FALSE(registry::memory::StoredValue(RootKey::CurrentUser, L"Software\\Classes\\.mht\\OpenWithProgids", L"FooURL"));
    EXPECT_TRUE(registry::memory::StoredValue(RootKey::CurrentUser, L"Software\\Classes\\x\\y\\OpenWithProgids", L"FooURL"));
    EXPECT_TRUE(registry::memory::StoredValue(RootKey::CurrentUser, L"Software\\Classes\\.pdf\\OpenWithProgids", L"Reader.pdf"));
    EXPECT_TRUE(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Classes\\.htm\\OpenWithProgids"));

    // A plain registration has no such values, and leaves nothing to fail.
    SetUp();
    RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
    result = RunCommand({L"delete", L"HKCU", L"Foo", L"-all", L"-nobackup"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output.find(L"OpenWithProgids"), std::wstring::npos);
}

}  // namespace

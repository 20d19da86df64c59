// Removal and its backup file: the bytes written, the encodings, and what is
// left untouched when the backup cannot be written.
#include <functional>
#include <map>

#include "output/backup_file.h"
#include "support/backup_bytes.h"
#include "support/run_command.h"

namespace {

using registry::memory::PutString;
using registry::memory::PutValue;
using namespace backup_bytes;

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

// The defaults form: the file it writes from a registration, each refusal,
// the stem of its default name, and the warning an HKLM registration gets
// when standard users could change its program.
#include "file_stem.h"
#include "platform/folder_access.h"
#include "support/run_command.h"

namespace {

using platform::DriveType;
using platform::FolderAce;
using platform::FolderDacl;
using platform::Trustee;

const std::wstring kFooExe = L"C:\\Apps\\Foo\\foo.exe";
const std::wstring kDefaultTarget = L"C:\\Tools\\Foo.defaults.xml";

std::string FileText(const std::wstring& path) {
    const auto bytes = test_platform::FileContents(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("(no file)");
}

std::string Entry(const char* identifier, const char* progId, const char* name, bool once) {
    return std::string("  <Association Identifier=\"") + identifier + "\" ProgId=\"" + progId +
           "\" ApplicationName=\"" + name + (once ? "\" Suggested=\"true\" />\r\n" : "\" />\r\n");
}

class DefaultsFileTest : public CommandTest {
protected:
    void RegisterForAll(const std::wstring& name, const std::wstring& exe = kFooExe) {
        test_platform::PutFile(exe, {});
        ASSERT_EQ(RunCommand({L"HKLM", name, exe}).status, 0);
        test_platform::ClearOutput();
    }
};

TEST_F(DefaultsFileTest, WritesEachFileTypeThenEachSchemeOfTheRegistration) {
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        std::wstring target;
        bool once;
    } cases[] = {
        {"beside-marovendel", {L"defaults", L"hklm", L"Foo"}, kDefaultTarget, false},
        {"given-file-then-once", {L"DEFAULTS", L"HKLM", L"Foo", L"D:\\x.xml", L"-once"},
         L"D:\\x.xml", true},
        {"once-then-relative-file", {L"defaults", L"HKLM", L"Foo", L"-once", L"x.xml"},
         L"C:\\Users\\User\\x.xml", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        RegisterForAll(L"Foo");
        // Writing the file only reads HKLM.
        test_platform::SetAdministrator(false);
        registry::memory::SetAdministrator(false);
        const CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output.substr(0, result.output.find(L'\n') + 1),
                  L"Default associations written to " + c.target + L"\n");
        EXPECT_NE(result.output.find(L"Dism.exe /Online /Import-DefaultAppAssociations:\"" +
                                     c.target + L"\"\n"),
                  std::wstring::npos);
        EXPECT_NE(result.output.find(L"\"Set a default associations configuration file\""),
                  std::wstring::npos);
        EXPECT_EQ(FileText(c.target),
                  std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n") +
                      (c.once ? "<DefaultAssociations Version=\"1\">\r\n"
                              : "<DefaultAssociations>\r\n") +
                      Entry(".htm", "FooURL", "Foo", c.once) +
                      Entry(".html", "FooURL", "Foo", c.once) +
                      Entry("http", "FooURL", "Foo", c.once) +
                      Entry("https", "FooURL", "Foo", c.once) + "</DefaultAssociations>\r\n");
        EXPECT_EQ(test_platform::FilePaths().size(), 2u) << "the program and the file alone";
    }
}

TEST_F(DefaultsFileTest, NamesAreEscapedAndTheDefaultFileNamedSafely) {
    RegisterForAll(L"A&B \"<\u00e9>\"");
    registry::memory::PutString(RootKey::LocalMachine,
                                L"Software\\Clients\\StartMenuInternet\\A&B \"<\u00e9>\"\\Capabilities",
                                L"ApplicationName", L"It's\tA&B");
    ASSERT_EQ(RunCommand({L"defaults", L"HKLM", L"A&B \"<\u00e9>\""}).status, 0);
    const std::string text = FileText(L"C:\\Tools\\A&B __\u00e9__.defaults.xml");
    EXPECT_NE(text.find(Entry("http", "A&amp;B &quot;&lt;\xC3\xA9&gt;&quot;URL",
                              "It&apos;s&#9;A&amp;B", false)),
              std::string::npos)
        << text;
}

TEST_F(DefaultsFileTest, EachRefusalIsOneLineWithStatus1AndWritesNothing) {
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        void (*seed)();
        std::wstring line;
    } cases[] = {
        {"hkcu", {L"defaults", L"HKCU", L"My Foo"}, [] {},
         L"The default-associations file sets the defaults of every user at sign-in, so it is "
         L"made from a registration for all users: Marovendel.exe defaults HKLM \"My Foo\"\n"},
        {"not-under-hklm", {L"defaults", L"HKLM", L"Bar"}, [] {},
         L"Bar is not registered under HKLM.\n"},
        {"class-broken", {L"defaults", L"HKLM", L"My Foo"},
         [] { registry::DeleteTree(RootKey::LocalMachine, L"Software\\Classes\\My FooURL"); },
         L"My Foo is not registered correctly under HKLM, so no default-associations file was "
         L"written; Marovendel.exe check HKLM \"My Foo\" names the problems.\n"},
        {"capabilities-broken", {L"defaults", L"HKLM", L"My Foo"},
         [] {
             registry::DeleteTree(RootKey::LocalMachine,
                                  L"Software\\Clients\\StartMenuInternet\\My Foo\\Capabilities");
         },
         L"My Foo is not registered correctly under HKLM, so no default-associations file was "
         L"written; Marovendel.exe check HKLM \"My Foo\" names the problems.\n"},
        {"cannot-create", {L"defaults", L"HKLM", L"My Foo", L"C:\\x.xml"},
         [] { test_platform::FailFileOperation(test_platform::FileOp::Create, L"x.xml"); },
         L"Could not write C:\\x.xml, so no default-associations file was written.\n"},
        {"cannot-finish-writing", {L"defaults", L"HKLM", L"My Foo", L"C:\\x.xml"},
         [] { test_platform::FailFileOperation(test_platform::FileOp::Close, L"x.xml"); },
         L"Could not write C:\\x.xml, so no default-associations file was written.\n"},
        {"cannot-move-over", {L"defaults", L"HKLM", L"My Foo", L"C:\\x.xml"},
         [] { test_platform::FailFileOperation(test_platform::FileOp::Move, L"x.xml"); },
         L"Could not write C:\\x.xml, so no default-associations file was written.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        RegisterForAll(L"My Foo");
        test_platform::PutFile(L"C:\\x.xml", {'o', 'l', 'd'});
        c.seed();
        const CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, c.line);
        EXPECT_EQ(test_platform::FilePaths(),
                  (std::vector<std::wstring>{kFooExe, L"C:\\x.xml"}));
        EXPECT_EQ(FileText(L"C:\\x.xml"), "old");
    }
}

TEST_F(DefaultsFileTest, IsACommandWordNeverARegistration) {
    RegisterForAll(L"Foo");
    const std::wstring before = registry::memory::Dump();
    EXPECT_EQ(RunCommand({L"defaults", L"HKLM", L"Foo", L"C:\\x.xml"}).status, 0);
    EXPECT_EQ(RunCommand({L"HKLM", L"Bar", L"C:\\bar.exe", L"defaults", L"HKLM", L"Foo"}).status, 0);
    EXPECT_EQ(registry::memory::Dump(), before);
}

TEST(BackupFileStemTest, MakesAnyNameSafeAsAFileName) {
    const struct {
        const wchar_t* name;
        const wchar_t* stem;
    } cases[] = {
        {L"My Browser", L"My Browser"},
        {L"a<b>c:d\"e|f?g*h", L"a_b_c_d_e_f_g_h"},
        {L"tab\there", L"tab_here"},
        {L"con", L"con_"},
        {L"LPT9.x", L"LPT9_.x"},
        {L"COM0", L"COM0"},
        {L"CONSOLE", L"CONSOLE"},
        {L"Nul.", L"Nul__"},
        {L"end. .", L"end___"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BackupFileStem(c.name), c.stem) << testing::PrintToString(std::wstring(c.name));
    }
}

FolderAce Allow(Trustee trustee, std::uint32_t mask, bool inheritOnly = false) {
    return FolderAce{true, trustee, mask, inheritOnly};
}

FolderAce Deny(Trustee trustee, std::uint32_t mask) {
    return FolderAce{false, trustee, mask, false};
}

// Windows' own rights: read and execute, modify, and full control.
constexpr std::uint32_t kReadExecute = 0x1200A9;
constexpr std::uint32_t kModify = 0x1301BF;
constexpr std::uint32_t kFullControl = 0x1F01FF;

TEST(FolderAccessTest, OnlyAChangeRightOfAStandardUsersGroupCounts) {
    const struct {
        const char* id;
        FolderDacl dacl;
        bool grants;
    } cases[] = {
        {"program-files",
         {false, {Allow(Trustee::Other, kFullControl), Allow(Trustee::Users, kReadExecute),
                  Allow(Trustee::Other, kModify, true)}},
         false},
        // A drive's root lets users add folders, and modify only what they hold.
        {"drive-root",
         {false, {Allow(Trustee::AuthenticatedUsers, platform::kFileAppendData),
                  Allow(Trustee::AuthenticatedUsers, kModify, true),
                  Allow(Trustee::Users, kReadExecute)}},
         false},
        {"users-add-files", {false, {Allow(Trustee::Users, platform::kFileWriteData)}}, true},
        {"authenticated-modify", {false, {Allow(Trustee::AuthenticatedUsers, kModify)}}, true},
        {"everyone-change-permissions", {false, {Allow(Trustee::Everyone, platform::kWriteDac)}},
         true},
        {"interactive-take-ownership", {false, {Allow(Trustee::Interactive, platform::kWriteOwner)}},
         true},
        {"generic-write", {false, {Allow(Trustee::Users, platform::kGenericWrite)}}, true},
        {"denied-first", {false, {Deny(Trustee::Users, kModify), Allow(Trustee::Users, kModify)}},
         false},
        {"everyone-denied-first",
         {false, {Deny(Trustee::Everyone, kFullControl), Allow(Trustee::Interactive, kModify)}},
         false},
        {"denied-after", {false, {Allow(Trustee::Users, kModify), Deny(Trustee::Users, kModify)}},
         true},
        {"other-group-denied", {false, {Deny(Trustee::Users, kModify), Allow(Trustee::Everyone, kModify)}},
         true},
        {"null", {true, {}}, true},
        {"empty", {false, {}}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::GrantsStandardUsersChange(c.dacl), c.grants) << c.id;
    }
}

const wchar_t* const kWarning =
    L", so any of them could replace it and run code as every user who opens a link; it belongs "
    L"in a folder under Program Files.\n";

TEST_F(DefaultsFileTest, AnHklmRegistrationWarnsWhereStandardUsersCouldChangeItsProgram) {
    const FolderDacl writable{false, {Allow(Trustee::Users, kModify)}};
    const FolderDacl sound{false, {Allow(Trustee::Users, kReadExecute)}};
    const struct {
        const char* id;
        const wchar_t* root;
        std::wstring exe;
        void (*seed)(const FolderDacl& writable, const FolderDacl& sound);
        std::wstring where;  // empty: no warning
    } cases[] = {
        {"fixed", L"HKLM", L"E:\\Foo\\foo.exe",
         [](const FolderDacl&, const FolderDacl& ok) { test_platform::SetFolderDacl(L"E:\\Foo", ok); },
         L""},
        {"removable", L"HKLM", L"E:\\Foo\\foo.exe",
         [](const FolderDacl&, const FolderDacl&) {
             test_platform::SetDriveType(L"e:\\", DriveType::Removable);
         },
         L"on a removable drive"},
        {"network-share", L"HKLM", L"\\\\server\\apps\\foo.exe",
         [](const FolderDacl&, const FolderDacl&) {
             test_platform::SetDriveType(L"\\\\server\\apps\\", DriveType::Network);
         },
         L"on a network drive"},
        {"cd", L"HKLM", L"E:\\Foo\\foo.exe",
         [](const FolderDacl&, const FolderDacl&) {
             test_platform::SetDriveType(L"E:\\", DriveType::Other);
         },
         L""},
        {"launcher-in-writable-folder", L"HKLM", L"\"C:\\Apps\\Foo\\foo.exe\" --portable",
         [](const FolderDacl& users, const FolderDacl&) {
             test_platform::SetFolderDacl(L"C:\\Apps\\Foo", users);
         },
         L"in C:\\Apps\\Foo, which standard users may change"},
        {"writable-parent", L"HKLM", kFooExe,
         [](const FolderDacl& users, const FolderDacl& ok) {
             test_platform::SetFolderDacl(L"C:\\Apps\\Foo", ok);
             test_platform::SetFolderDacl(L"C:\\Apps", users);
         },
         L"in C:\\Apps, which standard users may change"},
        {"writable-root", L"HKLM", L"C:\\foo.exe",
         [](const FolderDacl& users, const FolderDacl&) {
             test_platform::SetFolderDacl(L"C:\\", users);
         },
         L"in C:\\, which standard users may change"},
        {"for-one-user", L"HKCU", L"E:\\Foo\\foo.exe",
         [](const FolderDacl&, const FolderDacl&) {
             test_platform::SetDriveType(L"E:\\", DriveType::Removable);
         },
         L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::PutFile(c.exe[0] == L'"' ? kFooExe : c.exe, {});
        c.seed(writable, sound);
        const CommandResult result = RunCommand({c.root, L"Foo", c.exe});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, L"Portable browser registered successfully.\nhttp/https: FooURL\n");
        const std::wstring program = c.exe[0] == L'"' ? kFooExe : c.exe;
        EXPECT_EQ(test_platform::ErrorOutput(),
                  c.where.empty() ? L"" : L"Warning: " + program + L" lies " + c.where + kWarning);
    }
}

}  // namespace

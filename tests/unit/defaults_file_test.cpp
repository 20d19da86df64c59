// The defaults form: the file it writes from a registration, each refusal,
// and the warning an HKLM registration gets when standard users could change
// its program.
#include "support/run_command.h"

namespace {

using platform::DriveType;

const std::wstring kFooExe = L"C:\\Apps\\Foo\\foo.exe";

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
    void RegisterForAll(const std::wstring& name) {
        test_platform::PutFile(kFooExe, {});
        ASSERT_EQ(RunCommand({L"HKLM", name, kFooExe}).status, 0);
    }
};

TEST_F(DefaultsFileTest, WritesEachFileTypeThenEachSchemeOfTheRegistration) {
    const struct {
        std::vector<std::wstring> words;
        std::wstring target;
        bool once;
    } cases[] = {
        {{L"defaults", L"hklm", L"Foo"}, L"C:\\Tools\\Foo.defaults.xml", false},
        {{L"DEFAULTS", L"HKLM", L"Foo", L"D:\\x.xml", L"-once"}, L"D:\\x.xml", true},
        {{L"defaults", L"HKLM", L"Foo", L"-once", L"x.xml"}, L"C:\\Users\\User\\x.xml", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.target));
        SetUp();
        RegisterForAll(L"Foo");
        // Writing the file only reads HKLM.
        test_platform::SetAdministrator(false);
        registry::memory::SetAdministrator(false);
        const std::wstring before = registry::memory::Dump();
        const CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output.substr(0, result.output.find(L"(Computer")),
                  L"Default associations written to " + c.target +
                      L"\nFor new user profiles, run: Dism.exe /Online "
                      L"/Import-DefaultAppAssociations:\"" + c.target +
                      L"\"\nFor every sign-in, set the Group Policy \"Set a default associations "
                      L"configuration file\" ");
        EXPECT_EQ(FileText(c.target),
                  std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n") +
                      (c.once ? "<DefaultAssociations Version=\"1\">\r\n"
                              : "<DefaultAssociations>\r\n") +
                      Entry(".htm", "FooURL", "Foo", c.once) +
                      Entry(".html", "FooURL", "Foo", c.once) +
                      Entry("http", "FooURL", "Foo", c.once) +
                      Entry("https", "FooURL", "Foo", c.once) + "</DefaultAssociations>\r\n");
        EXPECT_EQ(test_platform::FilePaths().size(), 2u) << "the program and the file alone";
        EXPECT_EQ(registry::memory::Dump(), before) << "a file name is never registered";
    }
}

// Each step runs defaults -once again into the same file; Windows applies a
// suggestion once per Version, so only a change may raise it. A Version a
// DWORD cannot hold one more than stays, and the line says that the change
// then reaches no one who applied it.
TEST_F(DefaultsFileTest, OnceRaisesTheVersionOnlyWhenTheAssociationsChange) {
    RegisterForAll(L"Foo");
    const std::wstring same = L"the associations are unchanged, so Windows does not apply them again.\n";
    const struct {
        const char* id;
        const wchar_t* applicationName;  // set before the step
        bool unreadable;
        int status;
        std::wstring lastLine;
        const char* version;  // in the file afterwards
        std::string earlier = "";  // put in the file before the step, when not empty
    } steps[] = {
        {"first", nullptr, false, 0,
         L"Version 1: Windows applies these associations once to each user, as a suggestion they "
         L"can change.\n", "1"},
        {"again", nullptr, false, 0, L"Version 1, as before: " + same, "1"},
        {"renamed", L"Foo Browser", false, 0,
         L"Version 2, one higher than before: the associations changed, so Windows applies them "
         L"once more to each user.\n", "2"},
        {"again after the change", nullptr, false, 0, L"Version 2, as before: " + same, "2"},
        {"a change at the highest Version", nullptr, false, 0,
         L"Version 4294967295, as before, the highest a Version can be: Windows does not apply the "
         L"changed associations to users who applied it already.\n", "4294967295",
         "<DefaultAssociations Version=\"4294967295\"></DefaultAssociations>"},
        {"unreadable", nullptr, true, 1,
         L"Could not read the Version of D:\\x.xml, so no default-associations file was written.\n",
         "4294967295"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.id);
        if (step.applicationName != nullptr) {
            registry::memory::PutString(RootKey::LocalMachine,
                                        L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities",
                                        L"ApplicationName", step.applicationName);
        }
        if (!step.earlier.empty()) {
            test_platform::PutFile(L"D:\\x.xml", {step.earlier.begin(), step.earlier.end()});
        }
        if (step.unreadable) {
            test_platform::FailFileOperation(test_platform::FileOp::Read, L"x.xml");
        }
        const CommandResult result = RunCommand({L"defaults", L"HKLM", L"Foo", L"D:\\x.xml", L"-once"});
        EXPECT_EQ(result.status, step.status);
        ASSERT_GE(result.output.size(), step.lastLine.size());
        EXPECT_EQ(result.output.substr(result.output.size() - step.lastLine.size()), step.lastLine);
        EXPECT_NE(FileText(L"D:\\x.xml").find(std::string("<DefaultAssociations Version=\"") +
                                                step.version + "\">"),
                  std::string::npos);
    }
}

TEST_F(DefaultsFileTest, NamesAreEscapedAndTheDefaultFileNamedSafely) {
    const std::wstring name = L"A&B \"<\u00e9>\"";
    RegisterForAll(name);
    registry::memory::PutString(RootKey::LocalMachine,
                                L"Software\\Clients\\StartMenuInternet\\" + name + L"\\Capabilities",
                                L"ApplicationName", L"It's\tA&B");
    ASSERT_EQ(RunCommand({L"defaults", L"HKLM", name}).status, 0);
    const std::string text = FileText(L"C:\\Tools\\A&B __\u00e9__.defaults.xml");
    EXPECT_NE(text.find(Entry("http", "A&amp;B &quot;&lt;\xC3\xA9&gt;&quot;URL",
                              "It&apos;s&#9;A&amp;B", false)),
              std::string::npos)
        << text;
}

TEST_F(DefaultsFileTest, EachRefusalIsOneLineWithStatus1AndWritesNothing) {
    const std::wstring broken =
        L"My Foo is not registered correctly under HKLM, so no default-associations file was "
        L"written; Marovendel.exe check HKLM \"My Foo\" names the problems.\n";
    const std::wstring unwritable =
        L"Could not write C:\\x.xml, so no default-associations file was written.\n";
    const struct {
        const wchar_t* root;
        const wchar_t* name;
        const wchar_t* brokenKey;  // removed before
        test_platform::FileOp failing;
        std::wstring line;
    } cases[] = {
        {L"HKCU", L"My Foo", nullptr, test_platform::FileOp::Remove,
         L"The default-associations file sets the defaults of every user at sign-in, so it is "
         L"made from a registration for all users: Marovendel.exe defaults HKLM \"My Foo\"\n"},
        {L"HKLM", L"Bar", nullptr, test_platform::FileOp::Remove,
         L"Bar is not registered under HKLM.\n"},
        {L"HKLM", L"My Foo", L"Software\\Classes\\My FooURL", test_platform::FileOp::Remove, broken},
        {L"HKLM", L"My Foo", L"Software\\Clients\\StartMenuInternet\\My Foo\\Capabilities",
         test_platform::FileOp::Remove, broken},
        {L"HKLM", L"My Foo", nullptr, test_platform::FileOp::Create, unwritable},
        {L"HKLM", L"My Foo", nullptr, test_platform::FileOp::Close, unwritable},
        {L"HKLM", L"My Foo", nullptr, test_platform::FileOp::Move, unwritable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        SetUp();
        RegisterForAll(L"My Foo");
        test_platform::PutFile(L"C:\\x.xml", {'o', 'l', 'd'});
        if (c.brokenKey != nullptr) {
            registry::DeleteTree(RootKey::LocalMachine, c.brokenKey);
        }
        test_platform::FailFileOperation(c.failing, L"x.xml");
        const CommandResult result = RunCommand({L"defaults", c.root, c.name, L"C:\\x.xml"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, c.line);
        EXPECT_EQ(test_platform::FilePaths(), (std::vector<std::wstring>{kFooExe, L"C:\\x.xml"}));
        EXPECT_EQ(FileText(L"C:\\x.xml"), "old");
    }
}

TEST_F(DefaultsFileTest, AnHklmRegistrationWarnsWhereStandardUsersCouldChangeItsProgram) {
    const platform::ObjectSecurity writable{L"S-1-5-32-544", false,
                                            {{true, L"S-1-5-32-545", 0x1301BF, false}}};
    const platform::ObjectSecurity readable{L"S-1-5-32-544", false,
                                            {{true, L"S-1-5-32-545", 0x1200A9, false}}};
    const struct {
        const wchar_t* root;
        std::wstring command;
        DriveType drive;             // of the program's drive
        const wchar_t* writableFolder;  // every other folder on the way is readable only
        std::wstring where;          // empty: no warning
    } cases[] = {
        {L"HKLM", L"E:\\Foo\\foo.exe", DriveType::Fixed, nullptr, L""},
        {L"HKLM", L"E:\\Foo\\foo.exe", DriveType::Removable, nullptr, L"on a removable drive"},
        {L"HKLM", L"\\\\server\\apps\\foo.exe", DriveType::Network, nullptr, L"on a network drive"},
        {L"HKLM", L"E:\\Foo\\foo.exe", DriveType::Other, nullptr, L""},
        {L"HKCU", L"E:\\Foo\\foo.exe", DriveType::Removable, nullptr, L""},
        {L"HKLM", L"\"E:\\Foo\\foo.exe\" --portable", DriveType::Fixed, L"E:\\Foo",
         L"in E:\\Foo, which standard users may change"},
        {L"HKLM", L"E:/Foo/foo.exe", DriveType::Fixed, L"E:\\Foo",
         L"in E:\\Foo, which standard users may change"},
        // Users may add files and folders to the root, but cannot move E:\Foo away.
        {L"HKLM", L"E:\\Foo\\foo.exe", DriveType::Fixed, L"E:\\", L""},
        {L"HKCU", L"E:\\Foo\\foo.exe", DriveType::Fixed, L"E:\\", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.command + L" " + c.root));
        SetUp();
        const bool unc = c.command[0] == L'\\';
        const std::wstring program = unc ? c.command : L"E:\\Foo\\foo.exe";
        test_platform::PutFile(program, {});
        test_platform::SetDriveType(unc ? L"\\\\server\\apps\\" : L"e:\\", c.drive);
        for (const wchar_t* folder : {L"E:\\Foo", L"E:\\"}) {
            const bool open = c.writableFolder != nullptr && std::wstring(c.writableFolder) == folder;
            test_platform::SetObjectSecurity(folder, open ? writable : readable);
        }
        const CommandResult result = RunCommand({c.root, L"Foo", c.command});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, L"Portable browser registered successfully.\nhttp/https: FooURL\n");
        EXPECT_EQ(test_platform::ErrorOutput(),
                  c.where.empty() ? L""
                                  : L"Warning: " + program + L" lies " + c.where +
                                        L", so any of them could replace it and run code as every "
                                        L"user who opens a link; it belongs in a folder under "
                                        L"Program Files.\n");
    }
}

// Beside those lines: the program file's own list, and one principal other
// than an administrator named by its account.
TEST_F(DefaultsFileTest, TheWarningNamesWhoElseCouldChangeTheProgram) {
    const std::wstring bob = L"S-1-5-21-1-2-3-1001";
    const platform::ObjectSecurity locked{L"S-1-5-32-544", false, {}};
    const platform::ObjectSecurity ownedByBob{bob, false, {}};
    const platform::ObjectSecurity writtenByBob{L"S-1-5-32-544", false, {{true, bob, 0x2, false}}};
    const platform::ObjectSecurity writtenByUsers{L"S-1-5-32-544", false,
                                                  {{true, L"S-1-5-32-545", 0x2, false}}};
    const std::wstring them = L" could replace it and run code as every user who opens a link; "
                              L"it belongs in a folder under Program Files.\n";
    const struct {
        const char* id;
        platform::ObjectSecurity program;
        platform::ObjectSecurity folder;
        bool bobIsAdministrator;
        std::wstring warning;
    } cases[] = {
        {"bob owns the folder", locked, ownedByBob, false,
         L"Warning: E:\\Foo\\foo.exe lies in E:\\Foo, which PC\\bob may change without being an "
         L"administrator, so they" + them},
        {"bob may write the program", writtenByBob, locked, false,
         L"Warning: PC\\bob may change E:\\Foo\\foo.exe without being an administrator, so they" +
             them},
        {"users may write the program", writtenByUsers, locked, false,
         L"Warning: standard users may change E:\\Foo\\foo.exe, so any of them" + them},
        {"bob is an administrator", writtenByBob, ownedByBob, true, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::PutFile(L"E:\\Foo\\foo.exe", {});
        test_platform::SetObjectSecurity(L"E:\\Foo\\foo.exe", c.program);
        test_platform::SetObjectSecurity(L"E:\\Foo", c.folder);
        test_platform::SetObjectSecurity(L"E:\\", locked);
        test_platform::SetAccountName(bob, L"PC\\bob");
        if (c.bobIsAdministrator) {
            test_platform::SetAdministratorSids({bob});
        }
        EXPECT_EQ(RunCommand({L"HKLM", L"Foo", L"E:\\Foo\\foo.exe"}).status, 0);
        EXPECT_EQ(test_platform::ErrorOutput(), c.warning);
    }
}

}  // namespace

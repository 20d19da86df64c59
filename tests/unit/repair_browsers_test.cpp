// Repair: registrations whose programs have gone, pointed at the drive where
// they are now, and every case that is left as it was.
#include <functional>

#include "support/reg_reader.h"
#include "support/run_command.h"

namespace {

using registry::memory::PutString;

const std::wstring kClient = L"SOFTWARE\\Clients\\StartMenuInternet\\Foo";
const std::wstring kClass = L"SOFTWARE\\Classes\\FooURL";
const std::wstring kOld = L"E:\\Apps\\Foo";
const std::wstring kExe = kOld + L"\\foo.exe";

// The values a repair of Foo may rewrite.
struct Watched {
    std::wstring path;
    const wchar_t* name;
};
const Watched kWatched[] = {
    {kClient + L"\\shell\\open\\command", nullptr},
    {kClient + L"\\Capabilities", L"ApplicationIcon"},
    {kClass + L"\\DefaultIcon", nullptr},
    {kClass + L"\\shell\\open\\command", nullptr},
};

std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to) {
    for (std::size_t at = text.find(from); at != std::wstring::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

void PutPrograms(const std::wstring& drives) {
    for (wchar_t drive : drives) {
        test_platform::PutFile(std::wstring(1, drive) + kExe.substr(1), {});
    }
}

void Register(const wchar_t* root, const std::wstring& exe = kExe) {
    ASSERT_EQ(RunCommand({root, L"Foo", exe}).status, 0);
}

class RepairBrowsersTest : public CommandTest {};

TEST_F(RepairBrowsersTest, EachRegistrationFollowsItsProgramOrStaysWithOneLine) {
    const std::wstring found = L"Foo: " + kExe + L" is now G:\\Apps\\Foo\\foo.exe";
    const std::wstring dropAdvice =
        L"if the browser has moved, drop it onto Marovendel.exe from its new place, or register "
        L"it again with its new path.\n";
    const struct {
        const char* id;
        std::function<void()> seed;
        std::vector<std::wstring> words;
        std::wstring output;
        int status;
        wchar_t movedTo;  // 0: nothing may change
        RootKey root = RootKey::CurrentUser;
    } cases[] = {
        {"one other drive", [] { Register(L"HKCU"); PutPrograms(L"G"); }, {L"repair"},
         found + L"; backup in C:\\Tools\\Foo.reg\n", 0, L'G'},
        {"its own drive wins", [] {
             Register(L"HKCU");
             PutPrograms(L"FG");
             test_platform::SetExecutableDirectory(L"F:\\Tools");
         },
         {L"repair", L"hkcu"},
         L"Foo: " + kExe + L" is now F:\\Apps\\Foo\\foo.exe; backup in F:\\Tools\\Foo.reg\n", 0, L'F'},
        {"several drives", [] { Register(L"HKCU"); PutPrograms(L"FG"); }, {L"repair"},
         L"Foo: " + kExe + L" was found on F: and G:; drop the one you use onto Marovendel.exe.\n", 2,
         0},
        {"no drive", [] { Register(L"HKCU"); }, {L"repair"},
         L"Foo: " + kExe + L" was found on no drive; " + dropAdvice, 2, 0},
        {"a bare name", [] { Register(L"HKCU", L"foo.exe"); PutPrograms(L"G"); }, {L"repair"},
         L"Foo: foo.exe was found on no drive; " + dropAdvice, 2, 0},
        {"no backup", [] { Register(L"HKCU"); PutPrograms(L"G"); }, {L"repair", L"-nobackup"},
         found + L"\n", 0, L'G'},
        {"an earlier backup stays", [] {
             Register(L"HKCU");
             PutPrograms(L"G");
             test_platform::PutFile(L"C:\\Tools\\Foo.reg", {'o', 'l', 'd'});
         },
         {L"repair"}, found + L"; backup in C:\\Tools\\Foo (2).reg\n", 0, L'G'},
        {"profile flag, expandable class command, other values left", [] {
             Register(L"HKCU");
             PutPrograms(L"G");
             PutString(RootKey::CurrentUser, kWatched[0].path, nullptr,
                       L"\"" + kExe + L"\" --user-data-dir=\"" + kOld + L"\\User Data\"");
             PutString(RootKey::CurrentUser, kWatched[3].path, nullptr,
                       L"\"" + kExe + L"\" --disk-cache-dir=\"E:\\Cache\" \"%1\"",
                       registry::kRegExpandSz);
             PutString(RootKey::CurrentUser, kClient + L"\\Capabilities", L"ApplicationName", kExe);
             PutString(RootKey::CurrentUser, kClient + L"\\shell\\properties\\command", nullptr, kExe);
         },
         {L"repair"}, found + L"; backup in C:\\Tools\\Foo.reg\n", 0, L'G'},
        {"unquoted path with spaces and arguments", [] {
             Register(L"HKCU", L"E:\\My Apps\\foo.exe");
             PutString(RootKey::CurrentUser, kWatched[0].path, nullptr, L"E:\\My Apps\\foo.exe --x");
             test_platform::PutFile(L"G:\\My Apps\\foo.exe", {});
         },
         {L"repair"},
         L"Foo: E:\\My Apps\\foo.exe is now G:\\My Apps\\foo.exe; backup in C:\\Tools\\Foo.reg\n", 0,
         L'G'},
        {"whole", [] { Register(L"HKCU"); PutPrograms(L"E"); }, {L"repair"},
         L"Every registered browser under HKCU starts a program that exists.\n", 0, 0},
        {"broken in another way", [] {
             Register(L"HKCU");
             PutPrograms(L"G");
             registry::memory::PutString(RootKey::CurrentUser, kClient + L"\\Capabilities",
                                         L"ApplicationDescription", L"");
         },
         {L"repair"},
         L"Foo has problems repair does not mend; Marovendel.exe check HKCU Foo names them.\n", 2, 0},
        {"broken, its program there", [] {
             Register(L"HKCU");
             PutPrograms(L"EG");
             registry::memory::PutString(RootKey::CurrentUser, kClient + L"\\Capabilities",
                                         L"ApplicationDescription", L"");
         },
         {L"repair"},
         L"Foo has problems repair does not mend; Marovendel.exe check HKCU Foo names them.\n", 2, 0},
        {"a drive named through a variable", [] {
             Register(L"HKCU", L"%STICK%\\Apps\\Foo\\foo.exe");
             test_platform::SetEnvironment(L"STICK", L"E:");
             PutPrograms(L"G");
         },
         {L"repair"},
         L"Foo has problems repair does not mend; Marovendel.exe check HKCU Foo names them.\n", 2, 0},
        {"HKLM looks on its own drive only", [] { Register(L"HKLM"); PutPrograms(L"G"); },
         {L"repair", L"HKLM"},
         L"Foo: " + kExe + L" was not found on C:, the drive Marovendel runs from; if the browser "
         L"has moved, register it again with its new path.\n", 2, 0, RootKey::LocalMachine},
        {"HKLM on its own drive", [] {
             Register(L"HKLM");
             PutPrograms(L"G");
             test_platform::SetExecutableDirectory(L"G:\\Tools");
         },
         {L"repair", L"HKLM"}, found + L"; backup in G:\\Tools\\Foo.reg\n", 0, L'G',
         RootKey::LocalMachine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetLogicalDriveLetters(L"CFG");
        c.seed();
        test_platform::ClearOutput();
        std::vector<std::optional<registry::ValueData>> before;
        for (const Watched& value : kWatched) {
            before.push_back(registry::memory::StoredValue(c.root, value.path, value.name));
        }
        const std::wstring dumpBefore = registry::memory::Dump();
        const int notifiedBefore = test_platform::NotificationCount();
        const std::vector<std::wstring> filesBefore = test_platform::FilePaths();
        std::vector<std::pair<std::wstring, std::vector<std::uint8_t>>> contentsBefore;
        for (const std::wstring& path : filesBefore) {
            contentsBefore.emplace_back(path, *test_platform::FileContents(path));
        }

        const CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.status, c.status);
        for (std::size_t i = 0; i < before.size(); ++i) {
            const Watched& value = kWatched[i];
            const auto after = registry::memory::StoredValue(c.root, value.path, value.name);
            ASSERT_TRUE(before[i] && after);
            const std::wstring text = registry::StringFromBytes(before[i]->bytes);
            const std::wstring to(1, c.movedTo);
            EXPECT_EQ(registry::StringFromBytes(after->bytes),
                      c.movedTo == 0 ? text
                                     : Replaced(Replaced(text, kOld, to + L":\\Apps\\Foo"),
                                                L"E:\\My Apps", to + L":\\My Apps"));
            EXPECT_EQ(after->type, before[i]->type) << "the type changed";
            registry::memory::PutValue(c.root, value.path, value.name, before[i]->type,
                                       before[i]->bytes);
        }
        EXPECT_EQ(registry::memory::Dump(), dumpBefore) << "a value beyond the four changed";
        EXPECT_EQ(test_platform::NotificationCount() > notifiedBefore, c.movedTo != 0);
        const bool backedUp = c.output.find(L"; backup in") != std::wstring::npos;
        EXPECT_EQ(test_platform::FilePaths().size(), filesBefore.size() + (backedUp ? 1 : 0));
        for (const auto& file : contentsBefore) {
            EXPECT_EQ(test_platform::FileContents(file.first), file.second) << "a file was replaced";
        }
    }
}

// Another registration that starts its program, or IEXPLORE.EXE, is never
// touched; the hijack warning runs again for a registration for every user.
TEST_F(RepairBrowsersTest, OnlyTheRegistrationsThatLostAProgramChange) {
    test_platform::SetLogicalDriveLetters(L"CEG");
    test_platform::SetExecutableDirectory(L"G:\\Tools");
    test_platform::SetDriveType(L"G:\\", platform::DriveType::Removable);
    PutPrograms(L"G");
    test_platform::PutFile(L"E:\\Apps\\Bar\\bar.exe", {});
    Register(L"HKLM");
    ASSERT_EQ(RunCommand({L"HKLM", L"Bar", L"E:\\Apps\\Bar\\bar.exe"}).status, 0);
    PutString(RootKey::LocalMachine, L"Software\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command",
              nullptr, kExe);
    const std::wstring bar = registry::memory::DumpTree(RootKey::LocalMachine,
                                                        L"Software\\Clients\\StartMenuInternet\\Bar");
    const CommandResult result = RunCommand({L"repair", L"HKLM"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors, L"Warning: G:\\Apps\\Foo\\foo.exe lies on a removable drive, so any "
                             L"of them could replace it and run code as every user who opens a "
                             L"link; it belongs in a folder under Program Files.\n");
    EXPECT_EQ(registry::memory::DumpTree(RootKey::LocalMachine,
                                         L"Software\\Clients\\StartMenuInternet\\Bar"),
              bar);
    EXPECT_EQ(*registry::memory::StoredString(
                  RootKey::LocalMachine,
                  L"Software\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command", nullptr),
              kExe);
    EXPECT_EQ(RunCommand({L"check", L"HKLM", L"Foo"}).status, 0);
}

// The backup is written first and restores every value as it was; a value
// that cannot be written is named, the registration is not called repaired
// and its backup stays for restoring it.
TEST_F(RepairBrowsersTest, AFailedWriteLeavesTheBackupThatRestoresIt) {
    test_platform::SetLogicalDriveLetters(L"CG");
    Register(L"HKCU");
    PutPrograms(L"G");
    const std::wstring before = registry::memory::Dump();
    registry::memory::FailOperation(registry::memory::Op::SetValue, L"FooURL\\shell");
    const CommandResult result = RunCommand({L"repair"});
    EXPECT_EQ(result.output,
              L"Failed to write HKCU\\SOFTWARE\\Classes\\FooURL\\shell\\open\\command (default).\n"
              L"Foo was not repaired: 1 of 4 values could not be written; C:\\Tools\\Foo.reg "
              L"restores them as they were.\n");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(registry::memory::Dump(), before);
    std::string error;
    ASSERT_TRUE(reg_reader::ApplyRegFile(*test_platform::FileContents(L"C:\\Tools\\Foo.reg"), error))
        << error;
    EXPECT_EQ(registry::memory::Dump(), before);

    registry::memory::ClearFaultsAndCounters();
    platform::RemoveFile(L"C:\\Tools\\Foo.reg");
    test_platform::FailFileOperation(test_platform::FileOp::Create, L"Foo");
    EXPECT_EQ(RunCommand({L"repair", L"HKCU"}).output,
              L"Failed to create export file: C:\\Tools\\Foo.reg\n"
              L"Foo: nothing was changed, as its backup could not be written.\n");
    EXPECT_EQ(registry::memory::Dump(), before);
}

// check names repair where repair would find the program, and keeps its
// advice where it would not.
TEST_F(RepairBrowsersTest, CheckNamesRepairWhereItWouldMendTheRegistration) {
    const struct {
        const char* id;
        const wchar_t* root;
        std::wstring ownDirectory;
        std::wstring programs;
        std::wstring verdict;
    } cases[] = {
        {"found", L"HKCU", L"C:\\Tools", L"G",
         L"Foo has 2 problem(s) under HKCU; its program is on G: now, and Marovendel.exe repair "
         L"HKCU points the registration there.\n"},
        {"several", L"HKCU", L"C:\\Tools", L"FG",
         L"Foo has 2 problem(s) under HKCU; if the browser has moved, drop it onto Marovendel.exe "
         L"from its new place, or register it again with its new path.\n"},
        {"HKLM, another drive", L"HKLM", L"C:\\Tools", L"G",
         L"Foo has 2 problem(s) under HKLM; if the browser has moved, register it again with its "
         L"new path.\n"},
        {"HKLM, its own drive", L"HKLM", L"F:\\Tools", L"FG",
         L"Foo has 2 problem(s) under HKLM; its program is on F: now, and Marovendel.exe repair "
         L"HKLM points the registration there.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetLogicalDriveLetters(L"CFG");
        test_platform::SetExecutableDirectory(c.ownDirectory);
        Register(c.root);
        PutPrograms(c.programs);
        const std::wstring before = registry::memory::Dump();
        const CommandResult result = RunCommand({L"check", c.root, L"Foo"});
        EXPECT_NE(result.output.find(L" does not exist\n" + c.verdict), std::wstring::npos)
            << testing::PrintToString(result.output);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(registry::memory::Dump(), before);
        for (const std::wstring& path : test_platform::FilesCheckedLoudly()) {
            EXPECT_TRUE(path[0] != L'F' && path[0] != L'G') << "asked loudly: " << path;
        }
    }
}

}  // namespace

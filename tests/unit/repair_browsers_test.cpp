// Repair: registrations whose programs have gone, pointed at the drive where
// they are now, and every case that is left as it was.
#include <functional>

#include "support/reg_reader.h"
#include "support/run_command.h"

namespace {

using registry::memory::PutString;

const std::wstring kClient = L"SOFTWARE\\Clients\\StartMenuInternet\\Foo";
const std::wstring kExe = L"E:\\Apps\\Foo\\foo.exe";
// The values a repair of Foo may rewrite.
const std::pair<std::wstring, const wchar_t*> kWatched[] = {
    {kClient + L"\\shell\\open\\command", nullptr},
    {kClient + L"\\Capabilities", L"ApplicationIcon"},
    {L"SOFTWARE\\Classes\\FooURL\\DefaultIcon", nullptr},
    {L"SOFTWARE\\Classes\\FooURL\\shell\\open\\command", nullptr},
};
const std::wstring kOther =
    L"Foo has problems repair does not mend; Marovendel.exe check HKCU Foo names them.\n";

// text with each "E:\Apps" and "E:\My Apps" on drive.
std::wstring Moved(std::wstring text, wchar_t drive) {
    for (const wchar_t* folder : {L"E:\\Apps\\Foo", L"E:\\My Apps"}) {
        for (std::size_t at = text.find(folder); at != std::wstring::npos; at = text.find(folder, at)) {
            text[at] = drive;
        }
    }
    return text;
}

void Seed(const wchar_t* root, const std::wstring& exe, const std::wstring& holding, wchar_t own) {
    ASSERT_EQ(RunCommand({root, L"Foo", exe}).status, 0);
    for (wchar_t drive : holding) {
        test_platform::PutFile(std::wstring(1, drive) + exe.substr(1), {});
    }
    test_platform::SetExecutableDirectory(std::wstring(1, own) + L":\\Tools");
}

std::vector<registry::ValueData> Watched(RootKey root) {
    std::vector<registry::ValueData> values;
    for (const auto& value : kWatched) {
        values.push_back(*registry::memory::StoredValue(root, value.first, value.second));
    }
    return values;
}

// Puts the watched values back as they were, so that what else changed shows.
void PutBack(RootKey root, const std::vector<registry::ValueData>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        registry::memory::PutValue(root, kWatched[i].first, kWatched[i].second, values[i].type,
                                   values[i].bytes);
    }
}

void SetClientCommand(const std::wstring& command) {
    PutString(RootKey::CurrentUser, kWatched[0].first, nullptr, command);
}

class RepairBrowsersTest : public CommandTest {};

TEST_F(RepairBrowsersTest, EachRegistrationFollowsItsProgramOrStaysWithOneLine) {
    const std::wstring toG = L"Foo: " + kExe + L" is now G:\\Apps\\Foo\\foo.exe";
    const auto breakOtherwise = [] {
        PutString(RootKey::CurrentUser, kClient + L"\\Capabilities", L"ApplicationDescription", L"");
    };
    const struct {
        const char* id;
        std::wstring exe;
        std::wstring holding;  // drives that hold exe's path
        wchar_t own;           // the drive Marovendel runs from
        std::vector<std::wstring> words;
        std::wstring output;
        int status;
        wchar_t movedTo;  // 0: nothing may change
        std::function<void()> extra = [] {};
    } cases[] = {
        {"one other drive", kExe, L"G", L'C', {L"repair"},
         toG + L"; backup in C:\\Tools\\Foo.reg\n", 0, L'G'},
        {"its own drive wins", kExe, L"FG", L'F', {L"repair", L"hkcu"},
         L"Foo: " + kExe + L" is now F:\\Apps\\Foo\\foo.exe; backup in F:\\Tools\\Foo.reg\n", 0, L'F'},
        {"several drives", kExe, L"FG", L'C', {L"repair"},
         L"Foo: " + kExe + L" was found on F: and G:; drop the one you use onto Marovendel.exe.\n", 2,
         0},
        {"no drive", kExe, L"", L'C', {L"repair"},
         L"Foo: " + kExe + L" was found on no drive; if the browser has moved, drop it onto "
         L"Marovendel.exe from its new place, or register it again with its new path.\n", 2, 0},
        {"no backup", kExe, L"G", L'C', {L"repair", L"-nobackup"}, toG + L"\n", 0, L'G'},
        {"an earlier backup stays", kExe, L"G", L'C', {L"repair"},
         toG + L"; backup in C:\\Tools\\Foo (2).reg\n", 0, L'G',
         [] { test_platform::PutFile(L"C:\\Tools\\Foo.reg", {'o', 'l', 'd'}); }},
        {"profile flag, expandable command, other values left", kExe, L"G", L'C', {L"repair"},
         toG + L"; backup in C:\\Tools\\Foo.reg\n", 0, L'G', [] {
             SetClientCommand(L"\"" + kExe + L"\" --user-data-dir=\"E:\\Apps\\Foo\\User Data\"");
             PutString(RootKey::CurrentUser, kWatched[3].first, nullptr,
                       L"\"" + kExe + L"\" --disk-cache-dir=\"E:\\Cache\" \"%1\"",
                       registry::kRegExpandSz);
             PutString(RootKey::CurrentUser, kClient + L"\\Capabilities", L"ApplicationName", kExe);
             PutString(RootKey::CurrentUser, kClient + L"\\shell\\edit\\command", nullptr, kExe);
         }},
        {"unquoted path with spaces and arguments", L"E:\\My Apps\\foo.exe", L"G", L'C', {L"repair"},
         L"Foo: E:\\My Apps\\foo.exe is now G:\\My Apps\\foo.exe; backup in C:\\Tools\\Foo.reg\n", 0,
         L'G', [] { SetClientCommand(L"E:\\My Apps\\foo.exe --x"); }},
        {"whole", kExe, L"E", L'C', {L"repair"},
         L"Every registered browser under HKCU starts a program that exists.\n", 0, 0},
        {"broken in another way too", kExe, L"G", L'C', {L"repair"}, kOther, 2, 0, breakOtherwise},
        {"broken, its program there", kExe, L"EG", L'C', {L"repair"}, kOther, 2, 0, breakOtherwise},
        {"a drive named through a variable", L"%STICK%\\Apps\\Foo\\foo.exe", L"", L'C', {L"repair"},
         kOther, 2, 0, [] {
             test_platform::SetEnvironment(L"STICK", L"E:");
             test_platform::PutFile(L"G:\\Apps\\Foo\\foo.exe", {});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetLogicalDriveLetters(L"CFG");
        Seed(L"HKCU", c.exe, c.holding, c.own);
        c.extra();
        const std::vector<registry::ValueData> before = Watched(RootKey::CurrentUser);
        const std::wstring dumpBefore = registry::memory::Dump();
        const int notifiedBefore = test_platform::NotificationCount();
        const std::vector<std::wstring> filesBefore = test_platform::FilePaths();

        const std::size_t loudBefore = test_platform::FilesCheckedLoudly().size();
        const CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(test_platform::FilesCheckedLoudly().size(), loudBefore) << "asked for a disk";
        const std::vector<registry::ValueData> after = Watched(RootKey::CurrentUser);
        for (std::size_t i = 0; i < before.size(); ++i) {
            const std::wstring text = registry::StringFromBytes(before[i].bytes);
            EXPECT_EQ(registry::StringFromBytes(after[i].bytes),
                      c.movedTo == 0 ? text : Moved(text, c.movedTo));
            EXPECT_EQ(after[i].type, before[i].type) << "the type changed";
        }
        PutBack(RootKey::CurrentUser, before);
        EXPECT_EQ(registry::memory::Dump(), dumpBefore) << "a value beyond the four changed";
        EXPECT_EQ(test_platform::NotificationCount() > notifiedBefore, c.movedTo != 0);
        const bool backedUp = c.output.find(L"; backup in") != std::wstring::npos;
        EXPECT_EQ(test_platform::FilePaths().size(), filesBefore.size() + (backedUp ? 1 : 0));
        if (std::string(c.id) == "an earlier backup stays") {
            EXPECT_EQ(*test_platform::FileContents(L"C:\\Tools\\Foo.reg"),
                      std::vector<std::uint8_t>({'o', 'l', 'd'}));
        }
    }
}

// Under HKLM only Marovendel's own drive counts and the hijack warning runs
// again; another registration that starts its program, and IEXPLORE.EXE,
// are never touched.
TEST_F(RepairBrowsersTest, ForEveryUserOnlyItsOwnDriveCounts) {
    test_platform::SetLogicalDriveLetters(L"CEG");
    test_platform::SetDriveType(L"G:\\", platform::DriveType::Removable);
    Seed(L"HKLM", kExe, L"G", L'C');
    test_platform::PutFile(L"E:\\Bar\\bar.exe", {});
    ASSERT_EQ(RunCommand({L"HKLM", L"Bar", L"E:\\Bar\\bar.exe"}).status, 0);
    PutString(RootKey::LocalMachine, L"Software\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\"
              L"open\\command", nullptr, kExe);
    CommandResult result = RunCommand({L"repair", L"HKLM"});
    EXPECT_EQ(result.output, L"Foo: " + kExe + L" was not found on C:, the drive Marovendel runs "
                             L"from; if the browser has moved, register it again with its new path.\n");
    EXPECT_EQ(result.status, 2);

    const std::wstring before = registry::memory::Dump();
    const std::vector<registry::ValueData> values = Watched(RootKey::LocalMachine);
    test_platform::SetExecutableDirectory(L"G:\\Tools");
    result = RunCommand({L"repair", L"HKLM"});
    EXPECT_EQ(result.output, L"Foo: " + kExe + L" is now G:\\Apps\\Foo\\foo.exe; backup in "
                             L"G:\\Tools\\Foo.reg\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors, L"Warning: G:\\Apps\\Foo\\foo.exe lies on a removable drive, so any "
                             L"of them could replace it and run code as every user who opens a "
                             L"link; it belongs in a folder under Program Files.\n");
    EXPECT_EQ(registry::StringFromBytes(Watched(RootKey::LocalMachine)[3].bytes),
              Moved(registry::StringFromBytes(values[3].bytes), L'G'));
    PutBack(RootKey::LocalMachine, values);
    EXPECT_EQ(registry::memory::Dump(), before);
}

// A value that cannot be written is named, the registration is not called
// repaired, and the backup written first restores it; without a backup
// nothing is written.
TEST_F(RepairBrowsersTest, AFailedWriteLeavesTheBackupThatRestoresIt) {
    test_platform::SetLogicalDriveLetters(L"CG");
    Seed(L"HKCU", kExe, L"G", L'C');
    const std::wstring before = registry::memory::Dump();
    registry::memory::FailOperation(registry::memory::Op::SetValue, L"FooURL\\shell");
    EXPECT_EQ(RunCommand({L"repair"}).output,
              L"Failed to write HKCU\\SOFTWARE\\Classes\\FooURL\\shell\\open\\command (default).\n"
              L"Foo was not repaired: 1 of 4 values could not be written; C:\\Tools\\Foo.reg "
              L"restores them as they were.\n");
    std::string error;
    ASSERT_TRUE(reg_reader::ApplyRegFile(*test_platform::FileContents(L"C:\\Tools\\Foo.reg"), error));
    EXPECT_EQ(registry::memory::Dump(), before);

    registry::memory::ClearFaultsAndCounters();
    platform::RemoveFile(L"C:\\Tools\\Foo.reg");
    test_platform::FailFileOperation(test_platform::FileOp::Create, L"Foo");
    EXPECT_EQ(RunCommand({L"repair", L"HKCU"}).output,
              L"Failed to create export file: C:\\Tools\\Foo.reg\n"
              L"Foo: nothing was changed, as its backup could not be written.\n");
    EXPECT_EQ(registry::memory::Dump(), before);
}

// check names repair, with the registration's root, where repair would mend
// it, and keeps its advice where it would not; it asks other drives quietly.
TEST_F(RepairBrowsersTest, CheckNamesRepairWhereItWouldMendTheRegistration) {
    const std::wstring advice = L"if the browser has moved, register it again with its new path.\n";
    const struct {
        const wchar_t* root;
        wchar_t own;
        std::wstring holding;
        std::wstring verdict;  // after "Foo has 2 problem(s) under <root>; "
    } cases[] = {
        {L"HKCU", L'C', L"G", L"its program is on G: now, and Marovendel.exe repair HKCU points the "
                              L"registration there.\n"},
        {L"HKCU", L'C', L"FG", L"if the browser has moved, drop it onto Marovendel.exe from its new "
                               L"place, or register it again with its new path.\n"},
        {L"HKLM", L'C', L"G", advice},
        {L"HKLM", L'F', L"FG", L"its program is on F: now, and Marovendel.exe repair HKLM points the "
                               L"registration there.\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        test_platform::SetLogicalDriveLetters(L"CFG");
        Seed(c.root, kExe, c.holding, c.own);
        const std::wstring verdict = L"Foo has 2 problem(s) under " + std::wstring(c.root) + L"; ";
        const CommandResult result = RunCommand({L"check", c.root, L"Foo"});
        EXPECT_NE(result.output.find(L" does not exist\n" + verdict + c.verdict), std::wstring::npos)
            << testing::PrintToString(result.output);
        for (const std::wstring& path : test_platform::FilesCheckedLoudly()) {
            EXPECT_TRUE(path[0] != L'F' && path[0] != L'G') << "asked loudly: " << path;
        }
    }
}

}  // namespace

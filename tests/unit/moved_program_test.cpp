// A program gone from its drive: the drives it is looked for on, and which
// paths in a value follow it to its new drive.
#include <gtest/gtest.h>

#include "programs/moved_program.h"
#include "support/test_platform.h"

namespace {

using platform::DriveType;

TEST(MovedProgramTest, OnlyPathsToTheProgramOrInItsFolderFollowIt) {
    const std::wstring far(5000, L'x');
    const std::wstring foo = L"E:\\Apps\\Foo\\foo.exe";
    const struct {
        const char* id;
        std::wstring text;
        std::wstring moved;  // empty: as it was
        std::wstring program = L"E:\\Apps\\Foo\\foo.exe";
    } cases[] = {
        {"plain, icon, any case", foo + L",0 \"e:\\APPS\\foo\\Foo.EXE\" %1",
         L"F:\\Apps\\Foo\\foo.exe,0 \"F:\\APPS\\foo\\Foo.EXE\" %1"},
        {"profile flags", L"\"" + foo + L"\" --user-data-dir=\"E:\\Apps\\Foo\\User Data\" "
         L"--x=E:\\Apps\\Foo\\p -profile \"E:\\Apps\\Foo\"",
         L"\"F:\\Apps\\Foo\\foo.exe\" --user-data-dir=\"F:\\Apps\\Foo\\User Data\" "
         L"--x=F:\\Apps\\Foo\\p -profile \"F:\\Apps\\Foo\""},
        {"named twice, far apart", L"\"" + foo + L"\" " + far + L" '" + foo + L"'",
         L"\"F:\\Apps\\Foo\\foo.exe\" " + far + L" 'F:\\Apps\\Foo\\foo.exe'"},
        {"other paths on the old drive", L"\"" + foo + L"\" --cache=\"E:\\Cache\" E:\\Apps\\FooBar "
         L"E:\\Apps\\Foo Bar\\y E:\\Apps\\Foo.old\\foo.exe",
         L"\"F:\\Apps\\Foo\\foo.exe\" --cache=\"E:\\Cache\" E:\\Apps\\FooBar E:\\Apps\\Foo Bar\\y "
         L"E:\\Apps\\Foo.old\\foo.exe"},
        {"inside a word, long path, network, bare, other drive",
         L"FILE:\\Apps\\Foo\\foo.exe x\\" + foo + L" \\\\?\\" + foo +
             L" \\\\server\\Apps\\Foo\\foo.exe foo.exe G:\\Apps\\Foo\\foo.exe E:\\", L""},
        // A program at a drive's root has no folder of its own to follow it.
        {"root program", L"\"E:\\foo.exe\" --user-data-dir=\"E:\\Profile\"",
         L"\"F:\\foo.exe\" --user-data-dir=\"E:\\Profile\"", L"E:\\foo.exe"},
        {"spaces, unquoted", L"E:\\My Apps\\foo.exe --x", L"F:\\My Apps\\foo.exe --x",
         L"E:\\My Apps\\foo.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const MovedProgram moved{c.program, L"F" + c.program.substr(1)};
        EXPECT_EQ(WithMovedDrive(c.text, {moved}), c.moved.empty() ? c.text : c.moved);
    }
}

TEST(MovedProgramTest, TheDriveThatHoldsEveryProgramIsFoundWithoutADialog) {
    const std::vector<std::wstring> foo = {L"\"E:\\Apps\\Foo\\foo.exe\" \"%1\""};
    const std::vector<std::wstring> both = {L"E:\\Apps\\Foo\\foo.exe", L"\"E:\\Apps\\Foo\\run.exe\""};
    using Found = DriveSearch::Found;
    const struct {
        const char* id;
        std::wstring letters;
        wchar_t own;
        std::vector<std::pair<wchar_t, DriveType>> types;  // others fixed
        std::wstring holding;  // drives with E:\Apps\Foo\foo.exe's path
        std::vector<std::wstring> commands;
        bool ownDriveOnly;
        Found found;
        std::wstring drives;
    } cases[] = {
        {"one other", L"CG", L'C', {}, L"G", foo, false, Found::OnOne, L"G"},
        {"several", L"CFG", L'C', {}, L"FG", foo, false, Found::OnSeveral, L"FG"},
        {"own drive wins", L"CFG", L'G', {{L'G', DriveType::Removable}}, L"FG", foo, false,
         Found::OnOne, L"G"},
        {"nowhere", L"CF", L'C', {}, L"", foo, false, Found::Nowhere, L""},
        {"every program on one drive", L"CFG", L'C', {}, L"FG", both, false, Found::OnOne, L"G"},
        {"not network, CD, A: or B:", L"ABFG", L'C',
         {{L'F', DriveType::Network}, {L'G', DriveType::Other}}, L"ABFG", foo, false, Found::Nowhere,
         L""},
        {"HKLM: own drive only", L"CG", L'C', {}, L"G", foo, true, Found::Nowhere, L""},
        {"HKLM: own drive", L"CG", L'G', {}, L"G", foo, true, Found::OnOne, L"G"},
        {"own drive on the network", L"CG", L'G', {{L'G', DriveType::Network}}, L"G", foo, true,
         Found::Nowhere, L""},
        {"bare name", L"CG", L'C', {}, L"G", {L"foo.exe"}, false, Found::Nowhere, L""},
        {"old drive on the network", L"CEG", L'C', {{L'E', DriveType::Network}}, L"G", foo, false,
         Found::Nowhere, L""},
        {"unquoted with spaces", L"CG", L'C', {}, L"G", {L"E:\\Apps\\Foo\\foo.exe --x y"}, false,
         Found::OnOne, L"G"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        test_platform::Reset();
        test_platform::SetLogicalDriveLetters(c.letters);
        test_platform::SetExecutableDirectory(std::wstring(1, c.own) + L":\\Tools");
        for (const auto& type : c.types) {
            test_platform::SetDriveType(std::wstring(1, type.first) + L":\\", type.second);
        }
        for (wchar_t drive : c.holding) {
            test_platform::PutFile(std::wstring(1, drive) + L":\\Apps\\Foo\\foo.exe", {});
        }
        test_platform::PutFile(L"G:\\Apps\\Foo\\run.exe", {});
        const DriveSearch search = FindMovedPrograms(c.commands, c.ownDriveOnly);
        EXPECT_EQ(search.found, c.found);
        EXPECT_EQ(search.drives, c.drives);
        ASSERT_EQ(search.moved.size(), c.found == Found::OnOne ? c.commands.size() : 0u);
        if (c.found == Found::OnOne) {
            EXPECT_EQ(search.moved[0].from, L"E:\\Apps\\Foo\\foo.exe");
            EXPECT_EQ(search.moved[0].to, c.drives + L":\\Apps\\Foo\\foo.exe");
        }
        EXPECT_TRUE(test_platform::FilesCheckedLoudly().empty());
        EXPECT_FALSE(test_platform::QuietDriveErrorsOn()) << "the thread's mode was not restored";
    }
}

// Any user may add a folder to C:\, so a program there at the registered
// path may be another account's: a program or folder on the way to it that
// someone else owns is not taken on a fixed drive. Everyone owns what a
// volume without owners holds; a stick is its user's own.
TEST(MovedProgramTest, AProgramAnotherUserPutThereIsNotTaken) {
    const std::wstring me = L"S-1-5-21-1-2-3-1000";
    const std::wstring bob = L"S-1-5-21-1-2-3-1001";
    const std::wstring admin = L"S-1-5-21-1-2-3-500";
    const struct {
        const char* id;
        wchar_t own;
        std::wstring ownerOfFolder;  // C:\Apps; the program and C:\Apps\Foo are mine
        DriveType type = DriveType::Fixed;
        bool found;
    } cases[] = {
        {"mine, as Marovendel's drive", L'C', me, DriveType::Fixed, true},
        {"bob's, as Marovendel's drive", L'C', bob, DriveType::Fixed, false},
        {"bob's, as the other drive", L'G', bob, DriveType::Fixed, false},
        {"an administrator's", L'G', admin, DriveType::Fixed, true},
        {"Administrators'", L'G', L"S-1-5-32-544", DriveType::Fixed, true},
        {"on a volume without owners", L'G', L"S-1-1-0", DriveType::Fixed, true},
        {"bob's stick", L'G', bob, DriveType::Removable, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        test_platform::Reset();
        test_platform::SetLogicalDriveLetters(L"CG");
        test_platform::SetExecutableDirectory(std::wstring(1, c.own) + L":\\Tools");
        test_platform::SetDriveType(L"C:\\", c.type);
        test_platform::SetAdministratorSids({admin});
        test_platform::PutFile(L"C:\\Apps\\Foo\\foo.exe", {});
        test_platform::SetObjectSecurity(L"C:\\Apps\\Foo\\foo.exe", {me, false, {}});
        test_platform::SetObjectSecurity(L"C:\\Apps\\Foo", {me, false, {}});
        test_platform::SetObjectSecurity(L"C:\\Apps", {c.ownerOfFolder, false, {}});
        const DriveSearch search = FindMovedPrograms({L"E:\\Apps\\Foo\\foo.exe"}, false);
        EXPECT_EQ(search.found, c.found ? DriveSearch::Found::OnOne : DriveSearch::Found::Nowhere);
    }
}

}  // namespace

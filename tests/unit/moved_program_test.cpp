// A program gone from its drive: the drives it is looked for on, and which
// paths in a value follow it to its new drive.
#include <gtest/gtest.h>

#include <map>

#include "programs/moved_program.h"
#include "support/test_platform.h"

namespace {

using platform::DriveType;

const MovedProgram kFoo = {L"E:\\Apps\\Foo\\foo.exe", L"F:\\Apps\\Foo\\foo.exe"};

TEST(MovedProgramTest, OnlyPathsToTheProgramOrInItsFolderFollowIt) {
    const std::wstring far(5000, L'x');
    const struct {
        const char* id;
        std::wstring text;
        std::wstring moved;
        MovedProgram program = kFoo;
    } cases[] = {
        {"plain", L"E:\\Apps\\Foo\\foo.exe", L"F:\\Apps\\Foo\\foo.exe"},
        {"class command", L"\"E:\\Apps\\Foo\\foo.exe\" \"%1\"", L"\"F:\\Apps\\Foo\\foo.exe\" \"%1\""},
        {"case", L"\"e:\\APPS\\foo\\Foo.EXE\" %1", L"\"F:\\APPS\\foo\\Foo.EXE\" %1"},
        {"icon", L"E:\\Apps\\Foo\\foo.exe,0", L"F:\\Apps\\Foo\\foo.exe,0"},
        {"chromium profile",
         L"\"E:\\Apps\\Foo\\foo.exe\" --user-data-dir=\"E:\\Apps\\Foo\\User Data\" --single-argument %1",
         L"\"F:\\Apps\\Foo\\foo.exe\" --user-data-dir=\"F:\\Apps\\Foo\\User Data\" --single-argument %1"},
        {"unquoted profile", L"E:\\Apps\\Foo\\foo.exe --user-data-dir=E:\\Apps\\Foo\\profile",
         L"F:\\Apps\\Foo\\foo.exe --user-data-dir=F:\\Apps\\Foo\\profile"},
        {"firefox profile", L"\"E:\\Apps\\Foo\\foo.exe\" -profile \"E:\\Apps\\Foo\" -osint -url \"%1\"",
         L"\"F:\\Apps\\Foo\\foo.exe\" -profile \"F:\\Apps\\Foo\" -osint -url \"%1\""},
        {"named twice, far apart", L"\"E:\\Apps\\Foo\\foo.exe\" " + far + L" 'E:\\Apps\\Foo\\foo.exe'",
         L"\"F:\\Apps\\Foo\\foo.exe\" " + far + L" 'F:\\Apps\\Foo\\foo.exe'"},
        {"other path on the old drive", L"\"E:\\Apps\\Foo\\foo.exe\" --cache=\"E:\\Cache\"",
         L"\"F:\\Apps\\Foo\\foo.exe\" --cache=\"E:\\Cache\""},
        {"a folder that only starts alike", L"\"E:\\Apps\\FooBar\\x.exe\" E:\\Apps\\Foo Bar\\y",
         L"\"E:\\Apps\\FooBar\\x.exe\" E:\\Apps\\Foo Bar\\y"},
        {"a longer folder name", L"E:\\Apps\\Foo.old\\foo.exe", L"E:\\Apps\\Foo.old\\foo.exe"},
        {"inside a word", L"FILE:\\Apps\\Foo\\foo.exe x\\E:\\Apps\\Foo\\foo.exe",
         L"FILE:\\Apps\\Foo\\foo.exe x\\E:\\Apps\\Foo\\foo.exe"},
        {"long path form", L"\\\\?\\E:\\Apps\\Foo\\foo.exe", L"\\\\?\\E:\\Apps\\Foo\\foo.exe"},
        {"another drive", L"\"G:\\Apps\\Foo\\foo.exe\"", L"\"G:\\Apps\\Foo\\foo.exe\""},
        {"network and bare", L"\\\\server\\Apps\\Foo\\foo.exe foo.exe Apps\\Foo\\foo.exe",
         L"\\\\server\\Apps\\Foo\\foo.exe foo.exe Apps\\Foo\\foo.exe"},
        {"drive only", L"E:\\", L"E:\\"},
        // A program at a drive's root has no folder of its own to follow it.
        {"root program", L"\"E:\\foo.exe\" --user-data-dir=\"E:\\Profile\"",
         L"\"F:\\foo.exe\" --user-data-dir=\"E:\\Profile\"", {L"E:\\foo.exe", L"F:\\foo.exe"}},
        {"spaces, unquoted", L"E:\\Portable Apps\\foo.exe --x",
         L"F:\\Portable Apps\\foo.exe --x", {L"E:\\Portable Apps\\foo.exe", L"F:\\Portable Apps\\foo.exe"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(WithMovedDrive(c.text, {c.program}), c.moved);
    }
}

TEST(MovedProgramTest, ACommandsProgramHasADriveOnlyWhenItsPathStartsWithOne) {
    const struct {
        const wchar_t* command;
        wchar_t drive;
        const wchar_t* onG;
    } cases[] = {
        {L"e:\\a.exe", L'E', L"G:\\a.exe"},
        {L" \t\"E:\\a b\\a.exe\" \"%1\"", L'E', L" \t\"G:\\a b\\a.exe\" \"%1\""},
        {L"a.exe E:\\x", L'\0', L""},
        {L"\\\\server\\share\\a.exe", L'\0', L""},
        {L"\"\\\\?\\E:\\a.exe\"", L'\0', L""},
        {L"E:a.exe", L'\0', L""},
        {L"", L'\0', L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.command)));
        EXPECT_EQ(CommandDrive(c.command), c.drive);
        EXPECT_EQ(CommandOnDrive(c.command, L'G'), c.onG);
    }
    EXPECT_EQ(DriveLetterOf(L"\\\\?\\f:\\Tools"), L'F');
    EXPECT_EQ(DriveLetterOf(L"\\\\server\\share"), L'\0');
}

TEST(MovedProgramTest, TheDriveThatHoldsEveryProgramIsFoundWithoutADialog) {
    const std::vector<std::wstring> foo = {L"\"E:\\Apps\\Foo\\foo.exe\" \"%1\""};
    const std::vector<std::wstring> both = {L"E:\\Apps\\Foo\\foo.exe",
                                            L"\"E:\\Apps\\Foo\\run.exe\" \"%1\""};
    using Found = DriveSearch::Found;
    const struct {
        const char* id;
        std::wstring letters;
        std::wstring ownDirectory;
        std::map<wchar_t, DriveType> types;  // others fixed
        std::vector<std::wstring> files;
        std::vector<std::wstring> commands;
        bool ownDriveOnly;
        Found found;
        std::wstring drives;
        std::wstring to;  // of the first program
    } cases[] = {
        {"one other", L"CG", L"C:\\Tools", {}, {L"G:\\Apps\\Foo\\foo.exe"}, foo, false, Found::OnOne,
         L"G", L"G:\\Apps\\Foo\\foo.exe"},
        {"several", L"CFG", L"C:\\Tools", {}, {L"F:\\Apps\\Foo\\foo.exe", L"G:\\Apps\\Foo\\foo.exe"},
         foo, false, Found::OnSeveral, L"FG", L""},
        {"own drive wins", L"CFG", L"G:\\Tools", {{L'G', DriveType::Removable}},
         {L"F:\\Apps\\Foo\\foo.exe", L"G:\\Apps\\Foo\\foo.exe"}, foo, false, Found::OnOne, L"G",
         L"G:\\Apps\\Foo\\foo.exe"},
        {"nowhere", L"CF", L"C:\\Tools", {}, {}, foo, false, Found::Nowhere, L"", L""},
        {"every program on one drive", L"CFG", L"C:\\Tools", {},
         {L"F:\\Apps\\Foo\\foo.exe", L"G:\\Apps\\Foo\\foo.exe", L"G:\\Apps\\Foo\\run.exe"}, both,
         false, Found::OnOne, L"G", L"G:\\Apps\\Foo\\foo.exe"},
        {"not network, CD or A: and B:", L"ABFG", L"C:\\Tools",
         {{L'F', DriveType::Network}, {L'G', DriveType::Other}},
         {L"A:\\Apps\\Foo\\foo.exe", L"B:\\Apps\\Foo\\foo.exe", L"F:\\Apps\\Foo\\foo.exe",
          L"G:\\Apps\\Foo\\foo.exe"},
         foo, false, Found::Nowhere, L"", L""},
        {"HKLM: own drive only", L"CG", L"C:\\Tools", {}, {L"G:\\Apps\\Foo\\foo.exe"}, foo, true,
         Found::Nowhere, L"", L""},
        {"HKLM: own drive", L"CG", L"G:\\Tools", {}, {L"G:\\Apps\\Foo\\foo.exe"}, foo, true,
         Found::OnOne, L"G", L"G:\\Apps\\Foo\\foo.exe"},
        {"own drive on the network", L"CG", L"G:\\Tools", {{L'G', DriveType::Network}},
         {L"G:\\Apps\\Foo\\foo.exe"}, foo, true, Found::Nowhere, L"", L""},
        {"bare name", L"CG", L"C:\\Tools", {}, {L"G:\\foo.exe"}, {L"foo.exe"}, false,
         Found::Nowhere, L"", L""},
        {"old drive on the network", L"CEG", L"C:\\Tools", {{L'E', DriveType::Network}},
         {L"G:\\Apps\\Foo\\foo.exe"}, foo, false, Found::Nowhere, L"", L""},
        {"unquoted with spaces", L"CG", L"C:\\Tools", {}, {L"G:\\My Apps\\foo.exe"},
         {L"E:\\My Apps\\foo.exe --x"}, false, Found::OnOne, L"G", L"G:\\My Apps\\foo.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        test_platform::Reset();
        test_platform::SetLogicalDriveLetters(c.letters);
        test_platform::SetExecutableDirectory(c.ownDirectory);
        for (const auto& type : c.types) {
            test_platform::SetDriveType(std::wstring(1, type.first) + L":\\", type.second);
        }
        for (const std::wstring& file : c.files) {
            test_platform::PutFile(file, {});
        }
        const DriveSearch search = FindMovedPrograms(c.commands, c.ownDriveOnly);
        EXPECT_EQ(search.found, c.found);
        EXPECT_EQ(search.drives, c.drives);
        ASSERT_EQ(search.moved.size(), c.to.empty() ? 0u : c.commands.size());
        if (!c.to.empty()) {
            EXPECT_EQ(search.moved[0].to, c.to);
            EXPECT_EQ(search.moved[0].from, L"E" + c.to.substr(1));
        }
        EXPECT_TRUE(test_platform::FilesCheckedLoudly().empty())
            << testing::PrintToString(test_platform::FilesCheckedLoudly());
        EXPECT_FALSE(test_platform::QuietDriveErrorsOn()) << "the thread's mode was not restored";
    }
}

}  // namespace

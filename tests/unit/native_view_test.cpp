// What a 32-bit Marovendel under WOW64 looks for where 64-bit Explorer would.
#include <gtest/gtest.h>

#include "platform/native_view.h"
#include "platform/platform.h"
#include "support/test_platform.h"

namespace {

std::wstring InWindows(const std::wstring& path) {
    return platform::WithNativeSystemDirectory(path, L"C:\\Windows");
}

TEST(NativeViewTest, VariablesAndSystem32KeepTheir64BitMeaning) {
    const struct {
        std::wstring (*rewrite)(const std::wstring&);
        const wchar_t* given;
        const wchar_t* native;
    } cases[] = {
        {platform::WithNativeVariables, L"\"%ProgramFiles%\\Foo\\foo.exe\" \"%1\"",
         L"\"%ProgramW6432%\\Foo\\foo.exe\" \"%1\""},
        {platform::WithNativeVariables, L"%PROGRAMFILES%\\a;%commonprogramfiles%\\b",
         L"%ProgramW6432%\\a;%CommonProgramW6432%\\b"},
        {platform::WithNativeVariables, L"%ProgramFiles(x86)%\\Foo\\foo.exe",
         L"%ProgramFiles(x86)%\\Foo\\foo.exe"},
        {platform::WithNativeVariables, L"%ProgramFilesX%\\%LOCALAPPDATA%",
         L"%ProgramFilesX%\\%LOCALAPPDATA%"},
        // Read in pairs: "%b%" is a name, the last sign opens none.
        {platform::WithNativeVariables, L"a%b%ProgramFiles%", L"a%b%ProgramFiles%"},
        {platform::WithNativeVariables, L"%ProgramFiles", L"%ProgramFiles"},
        {InWindows, L"c:\\WINDOWS\\system32\\sub\\b.exe", L"C:\\Windows\\Sysnative\\sub\\b.exe"},
        {InWindows, L"C:\\Windows\\System32", L"C:\\Windows\\Sysnative"},
        {InWindows, L"C:\\Windows\\System32x\\b.exe", L"C:\\Windows\\System32x\\b.exe"},
        {InWindows, L"C:\\Windows\\SysWOW64\\b.exe", L"C:\\Windows\\SysWOW64\\b.exe"},
        {InWindows, L"D:\\Windows\\System32\\b.exe", L"D:\\Windows\\System32\\b.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.given)));
        EXPECT_EQ(c.rewrite(c.given), c.native);
    }
}

// What 64-bit Explorer starts for a shortcut, from what its file stores, on
// the pretend machine with %ProgramFiles% as the 64-bit shell expands it.
TEST(NativeViewTest, ShortcutStartsWhatItsStoredTargetNamesFor64BitExplorer) {
    const std::wstring x64 = L"C:\\Program Files\\Foo\\foo.exe";
    const std::wstring x86 = L"C:\\Program Files (x86)\\Foo\\foo.exe";
    const std::wstring block = L"%ProgramFiles%\\Foo\\foo.exe";
    const std::wstring stick = L"F:\\PortableApps\\Web\\web.exe";
    const struct {
        const char* id;
        std::wstring linkInfo, environment, relative;
        std::wstring linkPath;
        std::wstring program;
    } cases[] = {
        {"written by a 64-bit program", x64, block, L"", L"C:\\Users\\me\\Foo.lnk", x64},
        // Its %ProgramFiles% meant Program Files (x86) to the 32-bit writer.
        {"written by a 32-bit program", x86, block, L"", L"C:\\Users\\me\\Foo.lnk", x86},
        {"moved since: the block finds it", L"D:\\Foo\\foo.exe", block, L"",
         L"C:\\Users\\me\\Foo.lnk", x64},
        {"on a stick whose letter changed", L"E:\\PortableApps\\Web\\web.exe", L"",
         L".\\Web\\web.exe", L"F:\\PortableApps\\Web.lnk", stick},
        {"the letter changed, from a folder beside", L"E:\\PortableApps\\Web\\web.exe", L"",
         L"..\\PortableApps\\Web\\web.exe", L"F:\\Links\\Web.lnk", stick},
        {"a relative path that is none", L"", L"", stick, L"C:\\Web.lnk", stick},
        {"nothing exists: the saved path", L"E:\\Gone\\gone.exe", L"%ProgramFiles%\\gone.exe",
         L".\\gone.exe", L"C:\\Gone.lnk", L"E:\\Gone\\gone.exe"},
        {"nothing exists, no LinkInfo", L"", L"", L".\\gone.exe", L"C:\\Links\\Gone.lnk",
         L"C:\\Links\\gone.exe"},
        {"an ID list alone", L"", L"", L"", L"C:\\Gone.lnk", L""},
    };
    test_platform::Reset();
    test_platform::SetEnvironment(L"ProgramFiles", L"C:\\Program Files");
    for (const std::wstring& program : {x64, x86, stick}) {
        test_platform::PutFile(program, {});
    }
    const platform::ShortcutLookups lookups = {platform::IsExistingFile, platform::ExpandEnvironment,
                                               platform::FullPath};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        shell_link::Link link;
        link.linkInfoPath = c.linkInfo;
        link.environmentPath = c.environment;
        link.relativePath = c.relative;
        EXPECT_EQ(platform::NativeShortcutTarget(link, c.linkPath, lookups), c.program);
    }
}

}  // namespace

// What a 32-bit Marovendel under WOW64 looks for where 64-bit Explorer would.
#include <gtest/gtest.h>

#include "platform/native_view.h"

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

// A shell link on 64-bit Windows as a 32-bit process reads it: the adjusted
// target has %ProgramFiles% as Program Files (x86); the raw one, expanded
// the 64-bit way, names what Explorer starts.
TEST(NativeViewTest, ShortcutStartsWhatItsStoredTargetNamesFor64BitExplorer) {
    const std::wstring x86 = L"C:\\Program Files (x86)\\Foo\\foo.exe";
    const struct {
        const char* id;
        const wchar_t* expandedRaw;  // SLGP_RAWPATH, expanded the 64-bit way
        bool rawExists;
        std::wstring adjusted;  // GetPath as a 32-bit process reads it
        std::wstring program;
    } cases[] = {
        {"program-files", L"C:\\Program Files\\Foo\\foo.exe", true, x86,
         L"C:\\Program Files\\Foo\\foo.exe"},
        {"raw-names-nothing", L"C:\\Program Files\\Foo\\foo.exe", false, x86, x86},
        {"no-raw-path", L"", false, L"E:\\Web\\web.exe", L"E:\\Web\\web.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(platform::NativeShortcutTarget(c.expandedRaw, c.rawExists, c.adjusted),
                  c.program);
    }
}

}  // namespace

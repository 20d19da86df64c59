// What a 32-bit Marovendel under WOW64 looks for where 64-bit Explorer would.
#include <gtest/gtest.h>

#include <map>

#include "platform/native_view.h"

namespace {

struct RewriteCase {
    const wchar_t* given;
    const wchar_t* native;
};

TEST(NativeViewTest, ProgramFilesVariablesKeepTheir64BitMeaning) {
    const RewriteCase cases[] = {
        {L"\"%ProgramFiles%\\Foo\\foo.exe\" \"%1\"", L"\"%ProgramW6432%\\Foo\\foo.exe\" \"%1\""},
        {L"%PROGRAMFILES%\\a;%commonprogramfiles%\\b", L"%ProgramW6432%\\a;%CommonProgramW6432%\\b"},
        {L"%ProgramFiles(x86)%\\Foo\\foo.exe", L"%ProgramFiles(x86)%\\Foo\\foo.exe"},
        {L"%CommonProgramFiles(x86)%\\x", L"%CommonProgramFiles(x86)%\\x"},
        {L"%ProgramFilesX%\\%LOCALAPPDATA%", L"%ProgramFilesX%\\%LOCALAPPDATA%"},
        // Read in pairs: "%b%" is a name, the last sign opens none.
        {L"a%b%ProgramFiles%", L"a%b%ProgramFiles%"},
        {L"%ProgramFiles", L"%ProgramFiles"},
        {L"", L""},
    };
    for (const RewriteCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.given)));
        EXPECT_EQ(platform::WithNativeVariables(c.given), c.native);
    }
}

TEST(NativeViewTest, System32IsLookedForThroughSysnative) {
    const RewriteCase cases[] = {
        {L"C:\\Windows\\System32\\browser.exe", L"C:\\Windows\\Sysnative\\browser.exe"},
        {L"c:\\WINDOWS\\system32\\sub\\b.exe", L"C:\\Windows\\Sysnative\\sub\\b.exe"},
        {L"C:\\Windows\\System32", L"C:\\Windows\\Sysnative"},
        {L"C:\\Windows\\System32x\\b.exe", L"C:\\Windows\\System32x\\b.exe"},
        {L"C:\\Windows\\SysWOW64\\b.exe", L"C:\\Windows\\SysWOW64\\b.exe"},
        {L"D:\\Windows\\System32\\b.exe", L"D:\\Windows\\System32\\b.exe"},
        {L"C:\\Apps\\System32\\b.exe", L"C:\\Apps\\System32\\b.exe"},
    };
    for (const RewriteCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.given)));
        EXPECT_EQ(platform::WithNativeSystemDirectory(c.given, L"C:\\Windows"), c.native);
    }
}

// A 64-bit Windows as a 32-bit reader sees it: its shell link reads the
// target with %ProgramFiles% meaning Program Files (x86).
std::wstring ExpandUnderWow64(const std::wstring& text) {
    const std::map<std::wstring, std::wstring> environment = {
        {L"%ProgramW6432%", L"C:\\Program Files"},
        {L"%ProgramFiles%", L"C:\\Program Files (x86)"},
        {L"%ProgramFiles(x86)%", L"C:\\Program Files (x86)"},
    };
    std::wstring out = platform::WithNativeVariables(text);
    for (const auto& [name, value] : environment) {
        const std::size_t at = out.find(name);
        if (at != std::wstring::npos) {
            out.replace(at, name.size(), value);
        }
    }
    return out;
}

TEST(NativeViewTest, ShortcutStartsWhatItsStoredTargetNamesFor64BitExplorer) {
    const struct {
        const char* id;
        const wchar_t* raw;      // SLGP_RAWPATH
        const wchar_t* adjusted;  // GetPath as a 32-bit process reads it
        bool rawExists;
        const wchar_t* program;
    } cases[] = {
        {"program-files", L"%ProgramFiles%\\Foo\\foo.exe", L"C:\\Program Files (x86)\\Foo\\foo.exe",
         true, L"C:\\Program Files\\Foo\\foo.exe"},
        {"32-bit-program", L"%ProgramFiles(x86)%\\Foo\\foo.exe",
         L"C:\\Program Files (x86)\\Foo\\foo.exe", true, L"C:\\Program Files (x86)\\Foo\\foo.exe"},
        {"raw-names-nothing", L"%ProgramFiles%\\Gone\\g.exe", L"C:\\Program Files (x86)\\Gone\\g.exe",
         false, L"C:\\Program Files (x86)\\Gone\\g.exe"},
        {"no-raw-path", L"", L"E:\\Web\\web.exe", false, L"E:\\Web\\web.exe"},
        {"plain-path", L"E:\\Web\\web.exe", L"E:\\Web\\web.exe", true, L"E:\\Web\\web.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(platform::NativeShortcutTarget(ExpandUnderWow64(c.raw), c.rawExists, c.adjusted),
                  c.program);
    }
}

}  // namespace

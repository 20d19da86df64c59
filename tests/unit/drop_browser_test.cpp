// The drop: what a dropped file must be to be registered as a browser, and
// the lines that refuse everything else.
#include "programs/program_image.h"
#include "support/backup_bytes.h"
#include "support/program_file.h"
#include "support/run_command.h"
#include "support/shell_link_file.h"

namespace {

using program_image::Verdict;
using namespace test_program;

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<std::uint8_t> Poked(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

// The PE header decides: a windowed program for a processor this Windows
// starts is a browser; a console program, a program for another processor
// and anything without a whole header are not.
TEST(ProgramImageTest, TheHeaderDecidesWhetherThisWindowsStartsABrowser) {
    const struct {
        const char* id;
        std::vector<std::uint8_t> bytes;
        std::uint16_t native;
        Verdict verdict;
        std::uint32_t build = 0;  // 0: not known
    } cases[] = {
        {"x64 GUI on x64", Program(kX64, kGui), kX64, Verdict::Browser},
        {"x86 GUI on x64", Program(kX86, kGui), kX64, Verdict::Browser},
        {"x64 GUI on x86", Program(kX64, kGui), kX86, Verdict::OtherProcessor},
        {"ARM64 GUI on x64", Program(kArm64, kGui), kX64, Verdict::OtherProcessor},
        {"ARM64 GUI on ARM64", Program(kArm64, kGui), kArm64, Verdict::Browser},
        {"x64 GUI on ARM64", Program(kX64, kGui), kArm64, Verdict::Browser},
        {"x64 GUI, processor unknown", Program(kX64, kGui), 0, Verdict::Browser},
        {"Itanium GUI, processor unknown", Program(0x0200, kGui), 0, Verdict::OtherProcessor},
        {"x64 console", Program(kX64, kConsole), kX64, Verdict::ConsoleProgram},
        {"native subsystem (a driver)", Program(kX64, 1), kX64, Verdict::NotAProgram},
        {"empty file", {}, kX64, Verdict::NotAProgram},
        {"cut before the subsystem", Cut(Program(), 0x80 + 24 + 69), kX64, Verdict::NotAProgram},
        {"no PE signature", Poked(Program(), 0x80, 'N'), kX64, Verdict::NotAProgram},
        {"PE pointer past the end", Poked(Program(), 0x3D, 0x40), kX64, Verdict::NotAProgram},
        {"optional header too short", Poked(Program(), 0x80 + 20, 0x10), kX64,
         Verdict::NotAProgram},
        // Which builds of ARM64 Windows emulate what.
        {"x64 GUI on ARM64 Windows 10", Program(kX64, kGui), kArm64, Verdict::OtherBuild, 19045},
        {"x64 GUI on ARM64 Windows 11", Program(kX64, kGui), kArm64, Verdict::Browser, 22000},
        {"x86 GUI on ARM64 Windows 10", Program(kX86, kGui), kArm64, Verdict::Browser, 16299},
        {"ARM GUI on ARM64 Windows 11 23H2", Program(kArm, kGui), kArm64, Verdict::Browser, 22631},
        {"ARM GUI on ARM64 Windows 11 24H2", Program(kArm, kGui), kArm64, Verdict::OtherBuild, 26100},
        {"ARM GUI on x64", Program(kArm, kGui), kX64, Verdict::OtherProcessor, 19045},
        {"ARM64 console on ARM64 24H2", Program(kArm64, kConsole), kArm64, Verdict::ConsoleProgram,
         26100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(program_image::Judge(program_image::ReadHeader(c.bytes), c.native, c.build),
                  c.verdict);
    }
}

class DropTest : public CommandTest {};

const std::wstring kExpected = L"; drop a browser's .exe or its shortcut onto Marovendel.exe.\n";

// Each refusal is one line with exit status 1, and nothing is written.
TEST_F(DropTest, WhatIsNoBrowserForThisPcIsRefusedInOneLine) {
    const std::wstring batchReason =
        L" is a batch file, which cannot receive a link safely: cmd reads & in a URL as a new "
        L"command; make a shortcut to the browser's .exe with the flags it needs, and drop that "
        L"onto Marovendel.exe.\n";
    test_link::Layout gone;
    gone.linkInfoPath = L"C:\\Apps\\Gone\\web.exe";
    const struct {
        const char* id;
        std::wstring dropped;
        std::vector<std::uint8_t> bytes;
        std::uint16_t native;
        std::wstring line;
        std::uint32_t build = 26100;
    } cases[] = {
        {"console program", L"C:\\Tools\\rcedit.exe", Program(kX64, kConsole), kX64,
         L"C:\\Tools\\rcedit.exe is a console program, not a browser" + kExpected},
        {"ARM64 on x64", L"C:\\Tools\\7za.exe", Program(kArm64, kGui), kX64,
         L"C:\\Tools\\7za.exe is built for ARM64, which this Windows (x64) cannot run" + kExpected},
        {"x64 on 32-bit Windows", L"C:\\Apps\\b.exe", Program(kX64, kGui), kX86,
         L"C:\\Apps\\b.exe is built for x64, which this Windows (x86) cannot run" + kExpected},
        {"batch file", L"C:\\Apps\\Chrome\\start.bat", {'@'}, kX64,
         L"C:\\Apps\\Chrome\\start.bat" + batchReason},
        {"command script", L"C:\\Apps\\Chrome\\start.CMD", {'@'}, kX64,
         L"C:\\Apps\\Chrome\\start.CMD" + batchReason},
        {"shortcut to a batch file", L"C:\\Users\\User\\Desktop\\Chrome.lnk", {}, kX64,
         L"C:\\Apps\\Chrome\\start.bat" + batchReason},
        {"shortcut to a program that is gone", L"C:\\Users\\User\\Desktop\\Web.lnk",
         test_link::LinkBytes(gone), kX64,
         L"C:\\Users\\User\\Desktop\\Web.lnk starts C:\\Apps\\Gone\\web.exe, which does not "
         L"exist" + kExpected},
        {"x64 on ARM64 Windows 10", L"C:\\Apps\\b.exe", Program(kX64, kGui), kArm64,
         L"C:\\Apps\\b.exe is built for x64, which ARM64 Windows runs from build 22000 (Windows 11) "
         L"on, and this Windows is build 19045" + kExpected, 19045},
        {"ARM on ARM64 Windows 11 24H2", L"C:\\Apps\\a.exe", Program(kArm, kGui), kArm64,
         L"C:\\Apps\\a.exe is built for ARM, which ARM64 Windows runs only before build 26100 "
         L"(Windows 11 24H2), and this Windows is build 26100 (Windows 11 24H2)" + kExpected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetNativeMachine(c.native);
        test_platform::SetWindowsVersion(10, 0, c.build);
        test_platform::PutFile(c.dropped, c.bytes);
        test_platform::PutFile(L"C:\\Apps\\Chrome\\start.bat", {'@'});
        test_platform::PutShortcut(L"C:\\Users\\User\\Desktop\\Chrome.lnk",
                                   L"C:\\Apps\\Chrome\\start.bat", L"");
        const CommandResult result = RunCommand({c.dropped});
        EXPECT_EQ(result.output, c.line);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(registry::memory::OperationCount(), 0u) << "a refused drop opened a key";
    }
}

// The console form registers whatever it is given.
TEST_F(DropTest, TheConsoleFormStillRegistersAConsoleProgram) {
    test_platform::PutFile(L"C:\\Tools\\rcedit.exe", Program(kX64, kConsole));
    const CommandResult result = RunCommand({L"HKCU", L"Rcedit", L"C:\\Tools\\rcedit.exe"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, L"Portable browser registered successfully.\nhttp/https: RceditURL\n");
}

std::wstring CommandOf(const std::wstring& name) {
    const auto command = registry::memory::StoredString(
        RootKey::CurrentUser, L"Software\\Clients\\StartMenuInternet\\" + name + L"\\shell\\open\\command",
        nullptr);
    return command ? *command : L"(none)";
}

const std::wstring kSettings = L"Opened Settings > Default apps for ";

std::vector<std::uint8_t> Launch(const std::string& keys) {
    const std::string text = "[Launch]\r\n" + keys;
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Each package layout: registering the browser inside names the launcher,
// and dropping the launcher replaces the inner browser's registration,
// whatever it is called; but only a browser that the package names for
// certain: its PortableApps.com launcher's own .ini, or the launcher's name.
// Any other is left registered, and gets no suggestion either.
TEST_F(DropTest, ALauncherReplacesOnlyTheBrowserItsPackageNames) {
    const std::wstring pa = L"D:\\PortableApps\\FooPortable";
    const std::wstring paLauncher = pa + L"\\FooPortable.exe";
    const std::vector<std::uint8_t> both = Launch("ProgramExecutable=Foo\\foo.exe\r\n"
                                                  "ProgramExecutable64=Foo64\\foo.exe\r\n");
    const std::vector<std::uint8_t> utf16 =
        backup_bytes::Unicode(L"[Launch]\r\nProgramExecutable=F\u00f6\\f.exe");
    const struct {
        const char* id;
        std::wstring launcher;
        std::wstring inner;
        bool replaces;
        std::vector<std::uint8_t> launcherIni = {};  // none when empty
        std::uint16_t native = kX64;
    } cases[] = {
        {"PortableApps.com", paLauncher, pa + L"\\App\\Foo\\foo.exe", true},
        {"PortableApps.com, its 64 folder", paLauncher, pa + L"\\App\\Foo64\\foo.exe", true},
        {"its .ini names the program", paLauncher, pa + L"\\App\\Chrome-bin\\chrome.exe", true,
         Launch("ProgramExecutable=Chrome-bin\\chrome.exe")},
        {"its .ini names another", paLauncher, pa + L"\\App\\Foo\\foo.exe", false,
         Launch("ProgramExecutable=Chrome-bin\\chrome.exe")},
        {"parameters pick WhenParameters", paLauncher, pa + L"\\App\\Foo\\start.exe", false,
         Launch("ProgramExecutable=Foo\\start.exe\r\nProgramExecutableWhenParameters=Foo\\foo.exe")},
        {"64 on 64-bit Windows", paLauncher, pa + L"\\App\\Foo64\\foo.exe", true, both},
        {"not 64 on 32-bit Windows", paLauncher, pa + L"\\App\\Foo\\foo.exe", true, both, kX86},
        {"its .ini in UTF-16", paLauncher, pa + L"\\App\\F\u00f6\\f.exe", true, utf16},
        {"-portable.exe beside app", L"D:\\Foo\\foo-portable.exe", L"D:\\Foo\\app\\foo.exe", true},
        {"-Portable.exe beside its folder", L"D:\\Foo\\Foo-Portable.exe", L"D:\\Foo\\Foo\\foo.exe", true},
        {"-Portable.exe beside another folder", L"C:\\Browsers\\Foo-Portable.exe",
         L"C:\\Browsers\\Chromium\\chrome.exe", false},
        {"its .ini climbs out of App", L"C:\\Browsers\\Foo-Portable.exe",
         L"C:\\Browsers\\Chromium\\chrome.exe", false,
         Launch("ProgramExecutable=..\\Chromium\\chrome.exe")},
        {"its name above bin", L"D:\\Foo\\foo.exe", L"D:\\Foo\\bin\\foo.exe", true},
        {"another name above bin", L"D:\\Foo\\Start Foo.exe", L"D:\\Foo\\bin\\foo.exe", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetNativeMachine(c.native);
        test_platform::PutFile(c.launcher, Program(kX86));  // which any Windows starts
        test_platform::PutFile(c.inner, Program(kX86));
        if (!c.launcherIni.empty()) {
            const std::wstring package = c.launcher.substr(0, c.launcher.rfind(L'\\'));
            const std::wstring name = c.launcher.substr(package.size() + 1);
            test_platform::PutFile(package + L"\\App\\AppInfo\\Launcher\\" +
                                       name.substr(0, name.size() - 4) + L".ini",
                                   c.launcherIni);
        }
        test_platform::SetProgramDisplayName(c.launcher, L"Foo Portable");
        const std::wstring suggestion = c.inner + L" lies inside a portable package; register its "
                                        L"launcher " + c.launcher + L" instead, so that links open "
                                        L"with the profile kept in the package.\n";
        EXPECT_EQ(RunCommand({L"HKCU", L"Foo", c.inner}).output,
                  L"Portable browser registered successfully.\nhttp/https: FooURL\n" +
                      (c.replaces ? suggestion : L""));

        const CommandResult dropped = RunCommand({c.launcher});
        EXPECT_EQ(dropped.output.find(L"Foo was registered for " + c.inner + L", which " +
                                      c.launcher + L" (registered as Foo Portable) starts; "
                                      L"removing it.\n") != std::wstring::npos,
                  c.replaces)
            << dropped.output;
        EXPECT_EQ(dropped.status, 0) << dropped.output;
        EXPECT_EQ(CommandOf(L"Foo Portable"), c.launcher);
        EXPECT_EQ(CommandOf(L"Foo"), c.replaces ? L"(none)" : c.inner);
        EXPECT_EQ(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Classes\\FooURL"),
                  !c.replaces);
        EXPECT_EQ(test_platform::FileContents(L"C:\\Tools\\Foo.reg").has_value(), c.replaces);
    }
}

// When the inner browser holds the launcher's own name, the launcher takes
// it over; a name held by a browser of another package is still refused,
// and two candidate launchers name none.
TEST_F(DropTest, TheLauncherTakesOverANameOnlyFromItsOwnInnerBrowser) {
    const std::wstring launcher = L"D:\\FooPortable\\FooPortable.exe";
    const std::wstring inner = L"D:\\FooPortable\\App\\Foo\\foo.exe";
    const std::wstring stranger = L"D:\\BarPortable\\App\\Bar\\bar.exe";
    test_platform::PutFile(launcher, Program());
    test_platform::PutFile(inner, Program());
    test_platform::PutFile(L"D:\\BarPortable\\BarPortable.exe", Program());
    test_platform::PutFile(stranger, Program());
    test_platform::SetProgramDisplayName(launcher, L"Foo");

    ASSERT_EQ(RunCommand({L"HKCU", L"Foo", stranger}).status, 0);
    const CommandResult refused = RunCommand({launcher});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(CommandOf(L"Foo"), stranger);

    ASSERT_EQ(RunCommand({L"HKCU", L"Foo", inner}).status, 0);
    const CommandResult taken = RunCommand({launcher});
    EXPECT_EQ(taken.output, L"Foo was registered for " + inner + L", which its launcher " + launcher +
                                L" starts; registering the launcher in its place.\n"
                                L"Portable browser registered successfully.\nhttp/https: FooURL\n" +
                                kSettings + L"Foo.\n");
    EXPECT_EQ(taken.status, 0);
    EXPECT_EQ(CommandOf(L"Foo"), launcher);

    test_platform::PutFile(L"D:\\FooPortable\\OtherPortable.exe", Program());
    EXPECT_EQ(RunCommand({L"HKCU", L"Foo", inner}).output,
              L"Portable browser registered successfully.\nhttp/https: FooURL\n");
}

// A raw build keeps its profile when exactly one folder of its family's
// layouts lies beside it or one level up.
TEST_F(DropTest, ARawBuildIsRegisteredWithItsOneProfileFolder) {
    const std::wstring chrome = L"D:\\Chromium\\App\\chrome.exe";
    const std::wstring firefox = L"D:\\Firefox\\App\\firefox.exe";
    const struct {
        const char* id;
        std::wstring program;
        std::vector<std::wstring> markers;
        std::vector<std::wstring> folders;
        std::wstring arguments;  // of a shortcut to the program, when not empty
        std::wstring command;
    } cases[] = {
        {"Chromium, User Data beside", chrome, {L"chrome_elf.dll"}, {L"D:\\Chromium\\App\\User Data"}, L"",
         L"\"" + chrome + L"\" --user-data-dir=\"D:\\Chromium\\App\\User Data\""},
        {"Chromium, USER_DATA above", chrome, {L"chrome_elf.dll"}, {L"D:\\Chromium\\USER_DATA"}, L"",
         L"\"" + chrome + L"\" --user-data-dir=\"D:\\Chromium\\USER_DATA\""},
        {"Chromium, profile above", chrome, {L"chrome_elf.dll"}, {L"D:\\Chromium\\profile"}, L"",
         L"\"" + chrome + L"\" --user-data-dir=\"D:\\Chromium\\profile\""},
        {"Firefox, profile beside", firefox, {L"xul.dll", L"omni.ja"}, {L"D:\\Firefox\\App\\profile"},
         L"", L"\"" + firefox + L"\" -profile \"D:\\Firefox\\App\\profile\""},
        {"Firefox, Data\\profile above", firefox, {L"xul.dll", L"omni.ja"},
         {L"D:\\Firefox\\Data\\profile"}, L"",
         L"\"" + firefox + L"\" -profile \"D:\\Firefox\\Data\\profile\""},
        {"shortcut with other flags", chrome, {L"chrome_elf.dll"}, {L"D:\\Chromium\\User Data"},
         L"--no-first-run", L"\"" + chrome + L"\" --no-first-run --user-data-dir=\"D:\\Chromium\\User Data\""},
        {"shortcut that names the profile", chrome, {L"chrome_elf.dll"}, {L"D:\\Chromium\\User Data"},
         L"--user-data-dir=E:\\Mine", L"\"" + chrome + L"\" --user-data-dir=E:\\Mine"},
        {"two profile folders", chrome, {L"chrome_elf.dll"},
         {L"D:\\Chromium\\User Data", L"D:\\Chromium\\App\\profile"}, L"", chrome},
        {"no profile folder", chrome, {L"chrome_elf.dll"}, {}, L"", chrome},
        {"no family marker", chrome, {}, {L"D:\\Chromium\\User Data"}, L"", chrome},
        {"xul.dll without omni.ja", firefox, {L"xul.dll"}, {L"D:\\Firefox\\profile"}, L"", firefox},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::PutFile(c.program, Program());
        test_platform::SetProgramDisplayName(c.program, L"Raw");
        const std::wstring folder = c.program.substr(0, c.program.find_last_of(L'\\'));
        for (const std::wstring& marker : c.markers) {
            test_platform::PutFile(folder + L"\\" + marker, {});
        }
        for (const std::wstring& profile : c.folders) {
            test_platform::PutDirectory(profile);
        }
        std::wstring dropped = c.program;
        if (!c.arguments.empty()) {
            dropped = L"C:\\Users\\User\\Desktop\\Raw.lnk";
            test_platform::PutShortcut(dropped, c.program, c.arguments);
        }
        const CommandResult result = RunCommand({dropped});
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(CommandOf(L"Raw"), c.command);
        // The flag was added, not found in the shortcut: one line says so.
        const bool added = c.command.size() > c.program.size() + 2 + c.arguments.size() + 1;
        EXPECT_EQ(result.output.find(L" keeps its profile in ") != std::wstring::npos, added)
            << result.output;
    }
}

// A package's launcher keeps the profile itself: the browser inside gets no
// flag, only the line that names the launcher.
TEST_F(DropTest, ABrowserInsideAPackageGetsNoProfileFlag) {
    const std::wstring inner = L"D:\\FooPortable\\App\\Foo\\chrome.exe";
    test_platform::PutFile(L"D:\\FooPortable\\FooPortable.exe", Program());
    test_platform::PutFile(inner, Program());
    test_platform::PutFile(L"D:\\FooPortable\\App\\Foo\\chrome_elf.dll", {});
    test_platform::PutDirectory(L"D:\\FooPortable\\App\\Foo\\User Data");
    test_platform::SetProgramDisplayName(inner, L"Foo");
    const CommandResult result = RunCommand({inner});
    EXPECT_EQ(CommandOf(L"Foo"), inner);
    EXPECT_NE(result.output.find(L"register its launcher"), std::wstring::npos);
}

}  // namespace

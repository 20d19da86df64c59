// The home screen of a double-click: lines typed in, lines shown.
#include "support/program_file.h"
#include "support/run_command.h"

namespace {

const std::wstring kHead =
    L"\nMarovendel v1.0 by the Marovendel developers\n"
    L"======================================================\n\n"
    L"Marovendel makes a portable browser a choice for links and web pages in "
    L"Settings > Default apps.\n\n";
const std::wstring kHint =
    L"\nTo register a browser for yourself, drag its .exe or its shortcut onto Marovendel.exe.\n";
const std::wstring kPrompt =
    L"Type a number and press Enter to manage that browser, or press Enter to close.\n";
const std::wstring kOffer =
    L"Type r and press Enter to repair the browsers whose program was not found, where it is "
    L"found on another drive.\n";
const std::wstring kList =
    L"Browsers registered for you:\n"
    L"  1. Foo  C:\\Apps\\Foo\\foo.exe [default for http]\n"
    L"  2. Gone  E:\\Gone\\gone.exe [program not found]\n" +
    kHint + kOffer + kPrompt;
const std::wstring kMenu =
    L"\nFoo\n  1. Open its page in Settings > Default apps\n  2. Check it\n  3. Remove it\n"
    L"Type 1, 2 or 3 and press Enter, or press Enter to go back.\n";

class HomeScreenTest : public CommandTest {};

TEST_F(HomeScreenTest, ADoubleClickShowsTheBrowsersAndManagesOneByNumber) {
    const auto removalOf = [](const std::wstring& name, const std::wstring& backup) {
        return L"Remove " + name + L"? Its registration is saved to " + backup +
               L" first, which restores it when opened. Type y and press Enter to remove it, or "
               L"press Enter to keep it.\n";
    };
    const std::wstring removal = removalOf(L"Foo", L"C:\\Tools\\Foo.reg");
    // Foo removed after its backup was written to backup, and the list again.
    const auto removedFoo = [&](const std::wstring& backup) {
        return kList + L"1\n" + kMenu + L"3\n" + removalOf(L"Foo", backup) + L"y\n" +
               L"Successfully exported registry keys to " + backup +
               L"\nSuccessfully deleted browser registry key: "
               L"SOFTWARE\\Clients\\StartMenuInternet\\Foo\n"
               L"Successfully deleted browser from RegisteredApplications: Foo\n"
               L"Successfully deleted browser class key: SOFTWARE\\Classes\\FooURL\n\n"
               L"Browsers registered for you:\n"
               L"  1. Gone  E:\\Gone\\gone.exe [program not found]\n" +
               kHint + kOffer + kPrompt + L"\n";
    };
    const std::wstring kFox = L"Fox: Quantum";
    const std::wstring foxMenu = kMenu.substr(0, 1) + kFox + kMenu.substr(4);
    const std::wstring foxList =
        L"Browsers registered for you:\n"
        L"  1. Foo  C:\\Apps\\Foo\\foo.exe [default for http]\n"
        L"  2. Fox: Quantum  C:\\Apps\\Fox\\fox.exe\n"
        L"  3. Gone  E:\\Gone\\gone.exe [program not found]\n" +
        kHint + kOffer + kPrompt;
    const struct {
        const char* id;
        bool registered;
        std::vector<std::wstring> typed;
        std::wstring output;  // after the head
        bool fooRemains;
        bool fooBackedUpBefore = false;  // C:\Tools\Foo.reg holds another Foo's backup
        bool fox = false;                // Fox: Quantum is registered too
    } cases[] = {
        {"none registered", false, {L""},
         L"No browser is registered for you yet.\n" + kHint + L"Press Enter to close.\n\n", true},
        {"enter closes", true, {L""}, kList + L"\n", true},
        {"end of input closes", true, {}, kList, true},
        {"not on the list", true, {L"3", L" x ", L""},
         kList + L"3\n3 is not a number from the list.\n\n" + kList + L" x \nx is not a number "
         L"from the list.\n\n" + kList + L"\n", true},
        {"enter goes back", true, {L"1", L"", L""}, kList + L"1\n" + kMenu + L"\n\n" + kList + L"\n",
         true},
        {"settings", true, {L"1", L"1"},
         kList + L"1\n" + kMenu + L"1\nOpened Settings > Default apps for Foo.\n" + kMenu, true},
        {"check", true, {L"1", L"2"},
         kList + L"1\n" + kMenu + L"2\nFoo is registered correctly under HKCU.\n"
         L"Windows opens http with Foo (FooURL).\n"
         L"What Windows opens https with is unknown: no default is set (0x80070483).\n"
         L"What Windows opens .html with is unknown: no default is set (0x80070483).\n"
         L"Windows opens 1 of 4 types with Foo; what opens https, .htm and .html is unknown.\n" +
         kMenu, true},
        {"remove kept", true, {L"1", L"3", L""},
         kList + L"1\n" + kMenu + L"3\n" + removal + L"\nFoo was kept.\n" + kMenu, true},
        {"remove", true, {L"1", L"3", L"y", L""}, removedFoo(L"C:\\Tools\\Foo.reg"), false},
        {"remove beside another backup", true, {L"1", L"3", L"y", L""},
         removedFoo(L"C:\\Tools\\Foo (2).reg"), false, true},
        {"a name no file can have", true, {L"2", L"3", L""},
         foxList + L"2\n" + foxMenu + L"3\n" + removalOf(kFox, L"C:\\Tools\\Fox_ Quantum.reg") +
         L"\n" + kFox + L" was kept.\n" + foxMenu, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        if (c.registered) {
            test_platform::PutFile(L"C:\\Apps\\Foo\\foo.exe", test_program::Program());
            ASSERT_EQ(RunCommand({L"HKCU", L"Foo", L"C:\\Apps\\Foo\\foo.exe"}).status, 0);
            ASSERT_EQ(RunCommand({L"HKCU", L"Gone", L"E:\\Gone\\gone.exe"}).status, 0);
            test_platform::SetCurrentDefault(L"http", L"FooURL");
        }
        if (c.fox) {
            test_platform::PutFile(L"C:\\Apps\\Fox\\fox.exe", test_program::Program());
            ASSERT_EQ(RunCommand({L"HKCU", kFox, L"C:\\Apps\\Fox\\fox.exe"}).status, 0);
        }
        if (c.fooBackedUpBefore) {
            test_platform::PutFile(L"C:\\Tools\\Foo.reg", {'o', 't', 'h', 'e', 'r'});
        }
        test_platform::SetOwnsConsoleWindow(true);
        test_platform::SetConsoleInput(c.typed);
        const CommandResult result = RunCommand({});
        EXPECT_EQ(result.output, kHead + c.output);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(test_platform::KeyPressWaitCount(), 0) << "the home screen closes on Enter";
        EXPECT_EQ(registry::memory::HasKey(RootKey::CurrentUser,
                                           L"Software\\Clients\\StartMenuInternet\\Foo"),
                  c.registered && c.fooRemains);
    }
}

// r repairs what the list marks [program not found], then lists again; with
// nothing marked, nothing is offered and r is no number.
TEST_F(HomeScreenTest, RepairIsOfferedForAProgramNotFoundAndListsAgain) {
    const std::wstring listed = L"Browsers registered for you:\n  1. Gone  ";
    const struct {
        const char* id;
        std::wstring program;
        std::wstring output;
        std::wstring after;  // the command it runs with then
    } cases[] = {
        {"moved", L"E:\\Gone\\gone.exe",
         listed + L"E:\\Gone\\gone.exe [program not found]\n" + kHint + kOffer + kPrompt +
             L"r\nGone: E:\\Gone\\gone.exe is now G:\\Gone\\gone.exe; backup in "
             L"C:\\Tools\\Gone.reg\n\n" + listed + L"G:\\Gone\\gone.exe\n" + kHint + kPrompt,
         L"G:\\Gone\\gone.exe"},
        {"nothing to repair", L"G:\\Gone\\gone.exe",
         listed + L"G:\\Gone\\gone.exe\n" + kHint + kPrompt +
             L"r\nr is not a number from the list.\n\n" + listed + L"G:\\Gone\\gone.exe\n" + kHint +
             kPrompt,
         L"G:\\Gone\\gone.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetLogicalDriveLetters(L"CG");
        test_platform::PutFile(L"G:\\Gone\\gone.exe", {});
        ASSERT_EQ(RunCommand({L"HKCU", L"Gone", c.program}).status, 0);
        test_platform::SetOwnsConsoleWindow(true);
        test_platform::SetConsoleInput({L"r"});
        const CommandResult result = RunCommand({});
        EXPECT_EQ(result.output, kHead + c.output);
        EXPECT_EQ(*registry::memory::StoredString(
                      RootKey::CurrentUser,
                      L"Software\\Clients\\StartMenuInternet\\Gone\\shell\\open\\command", nullptr),
                  c.after);
    }
}

}  // namespace

// The command line: which form runs, which is refused, and the exit status.
#include <fstream>
#include <iterator>

#include "platform/platform.h"
#include "support/run_command.h"

namespace {

using registry::memory::HasKey;

const wchar_t* const kUsage =
    L"Usage: Marovendel.exe list [HKLM|HKCU] | <HKCU|HKLM> <BrowserName> <ExecutablePath> | "
    L"delete <HKCU|HKLM> <BrowserName> [-nobackup]\n"
    L"       Marovendel.exe <program or shortcut> | settings <HKCU|HKLM> <BrowserName> | "
    L"check <HKCU|HKLM> <BrowserName>\n"
    L"       Marovendel.exe defaults HKLM <BrowserName> [file] [-once]\n"
    L"       Marovendel.exe repair [HKCU|HKLM] [-nobackup]\n"
    L"       -all after <ExecutablePath> also registers every type a browser opens; "
    L"after delete's <BrowserName> it also removes the class and its Open with entries\n";
const std::wstring kBanner =
    std::wstring(L"\nMarovendel v1.0 by the Marovendel developers\n"
                 L"======================================================\n\n") +
    kUsage;
const wchar_t* const kAdminRequired = L"Administrative privileges are required to access HKLM.\n";
const wchar_t* const kHkcuUsage = L"Usage: Marovendel.exe HKCU <BrowserName> <ExecutablePath>\n";
const wchar_t* const kHklmUsage = L"Usage: Marovendel.exe HKLM <BrowserName> <ExecutablePath>\n";

const std::wstring kClients = L"Software\\Clients\\StartMenuInternet\\";

class CommandLineTest : public CommandTest {};

struct UsageCase {
    const char* id;
    bool isAdmin;
    std::vector<std::wstring> words;
    std::wstring output;
};

TEST_F(CommandLineTest, IncompleteFormsPrintUsageOrRefuseWithStatus1) {
    const UsageCase cases[] = {
        {"empty", true, {}, kBanner},
        {"delete-alone", true, {L"delete"}, kBanner},
        {"other-word", true, {L"frobnicate", L"x"}, kBanner},
        {"hkcu-alone", true, {L"HKCU"}, kHkcuUsage},
        {"hkcu-one-arg", true, {L"hkcu", L"Foo"}, kHkcuUsage},
        {"hklm-admin", true, {L"HKLM", L"Foo"}, kHklmUsage},
        {"hklm-not-admin", false, {L"HKLM"}, kAdminRequired},
        {"delete-hkcu", true, {L"delete", L"HKCU"}, kHkcuUsage},
        {"delete-hklm-not-admin", false, {L"delete", L"HKLM"}, kAdminRequired},
        {"delete-hklm-name-not-admin", false, {L"delete", L"hklm", L"Foo"}, kAdminRequired},
        {"delete-bad-root", true, {L"delete", L"HKCR", L"Foo"},
         L"Invalid root key. Use HKCU or HKLM.\n"},
        {"hklm-after-hkcu-not-admin", false, {L"HKCU", L"A", L"a.exe", L"HKLM", L"B", L"b.exe"},
         kAdminRequired},
        {"unicode-root-word", true, {L"HKC\u00dc", L"A", L"a.exe"}, kBanner},
        {"settings-one-arg", true, {L"settings", L"HKCU"},
         L"Usage: Marovendel.exe settings <HKCU|HKLM> <BrowserName>\n"},
        {"check-root-only-not-admin", false, {L"check", L"hklm"},
         L"Usage: Marovendel.exe check <HKCU|HKLM> <BrowserName>\n"},
        {"register-bogus", true, {L"HKCU", L"Foo", L"foo.exe", L"--bogus"},
         L"--bogus is not an option of HKCU; its option is -all, in lower case.\n"},
        {"register-all-then-slash", true, {L"hklm", L"Foo", L"foo.exe", L"-all", L"/x"},
         L"/x is not an option of HKLM; its option is -all, in lower case.\n"},
        {"delete-nobackup-upper", true, {L"delete", L"HKCU", L"Foo", L"-NOBACKUP"},
         L"-NOBACKUP is not an option of delete; its options are -nobackup and -all, in lower case.\n"},
        {"check-option", true, {L"check", L"HKCU", L"Foo", L"-all"},
         L"-all is not an option of check; it takes none.\n"},
        {"settings-option", true, {L"settings", L"HKCU", L"Foo", L"/?"},
         L"/? is not an option of settings; it takes none.\n"},
        {"defaults-once-upper", true, {L"defaults", L"HKLM", L"Foo", L"-ONCE"},
         L"-ONCE is not an option of defaults; its option is -once, in lower case.\n"},
        {"check-one-arg", true, {L"check", L"x"}, kBanner},
        {"settings-bad-root", false, {L"Settings", L"HKCR", L"Foo"},
         L"Invalid root key. Use HKCU or HKLM.\n"},
        {"check-bad-root", true, {L"CHECK", L"all", L"Foo"},
         L"Invalid root key. Use HKCU or HKLM.\n"},
        {"check-bad-name", true, {L"check", L"HKLM", L"a/b"},
         L"The browser name must not contain \\ or /.\n"},
        {"repair-bad-root", true, {L"repair", L"HKCR"}, L"Invalid root key. Use HKCU or HKLM.\n"},
        {"repair-hklm-not-admin", false, {L"Repair", L"hklm", L"-nobackup"}, kAdminRequired},
        {"repair-option-upper", true, {L"repair", L"-NOBACKUP"},
         L"-NOBACKUP is not an option of repair; its option is -nobackup, in lower case.\n"},
        {"repair-name", true, {L"repair", L"HKCU", L"Foo"},
         L"Foo is not a word of repair; it takes HKCU or HKLM, then -nobackup.\n"},
    };
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetAdministrator(c.isAdmin);
        const std::wstring before = registry::memory::Dump();
        CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(registry::memory::Dump(), before) << "a refused command changed the registry";
    }
}

TEST_F(CommandLineTest, UnsafeNamesAreRefusedBeforeAnyChange) {
    const std::wstring longest(191, L'n');
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        const wchar_t* output;
    } cases[] = {
        {"empty-register", {L"HKCU", L"", L"a.exe"}, L"The browser name must not be empty.\n"},
        {"empty-delete", {L"delete", L"HKCU", L""}, L"The browser name must not be empty.\n"},
        {"backslash", {L"HKCU", L"a\\b", L"a.exe"}, L"The browser name must not contain \\ or /.\n"},
        {"slash-delete", {L"delete", L"HKLM", L"..//x"},
         L"The browser name must not contain \\ or /.\n"},
        {"line-break", {L"HKCU", L"a\r\nb", L"a.exe"},
         L"The browser name must not contain control characters.\n"},
        {"tab-delete", {L"delete", L"HKCU", L"a\tb"},
         L"The browser name must not contain control characters.\n"},
        {"too-long", {L"HKLM", longest + L"n", L"a.exe"},
         L"The browser name must not be longer than 191 characters.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        registry::memory::PutString(RootKey::CurrentUser, kClients + L"Other", nullptr, L"Other");
        const std::wstring before = registry::memory::Dump();
        CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(registry::memory::Dump(), before);
        EXPECT_TRUE(test_platform::FilePaths().empty());
    }
    // The longest accepted name registers whole, and a later complete form
    // still replaces an earlier unsafe one.
    SetUp();
    CommandResult result = RunCommand({L"HKCU", L"", L"a.exe", L"HKCU", longest, L"b.exe"});
    EXPECT_EQ(result.status, 0) << testing::PrintToString(result.output);
    EXPECT_TRUE(HasKey(RootKey::CurrentUser, kClients + longest + L"\\Capabilities\\URLAssociations"));
}

TEST_F(CommandLineTest, LastCompleteFormWinsAndListOrDeleteDropsIt) {
    CommandResult result = RunCommand({L"HKCU", L"A", L"a.exe", L"hkcu", L"B", L"b.exe"});
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(HasKey(RootKey::CurrentUser, kClients + L"A"));
    EXPECT_TRUE(HasKey(RootKey::CurrentUser, kClients + L"B"));

    result = RunCommand({L"HKCU", L"C", L"c.exe", L"LIST"});
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(HasKey(RootKey::CurrentUser, kClients + L"C"));

    result = RunCommand({L"HKCU", L"D", L"d.exe", L"delete", L"HKCU", L"B", L"-nobackup"});
    EXPECT_FALSE(HasKey(RootKey::CurrentUser, kClients + L"D"));

    // The two words after a root word are its arguments, never commands.
    result = RunCommand({L"x", L"HKCU", L"list", L"delete"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(HasKey(RootKey::CurrentUser, kClients + L"list\\shell\\open\\command"));
    EXPECT_EQ(*registry::memory::StoredString(RootKey::CurrentUser,
                                              kClients + L"list\\shell\\open\\command", nullptr),
              L"delete");
}

// The usage names every form once, the drop and -all included, and the
// README shows it as printed.
TEST_F(CommandLineTest, TheUsageListsEachFormOnceAsTheReadmeShowsIt) {
    const std::wstring usage = RunCommand({}).output;
    for (const wchar_t* form : {L"delete <HKCU|HKLM>", L"<program or shortcut>", L"list [HKLM|HKCU]",
                                L"settings <HKCU|HKLM>", L"check <HKCU|HKLM>", L"-all after",
                                L"repair [HKCU|HKLM]"}) {
        SCOPED_TRACE(std::string(form, form + std::wcslen(form)));
        const std::size_t first = usage.find(form);
        ASSERT_NE(first, std::wstring::npos);
        EXPECT_EQ(usage.find(form, first + 1), std::wstring::npos);
    }
    std::ifstream file(MAROVENDEL_README, std::ios::binary);
    ASSERT_TRUE(file) << MAROVENDEL_README;
    const std::string readme((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::wstring lines = kUsage;
    EXPECT_NE(readme.find("```\n" + std::string(lines.begin(), lines.end()) + "```\n"),
              std::string::npos)
        << "the README's Commands block differs from the usage";
}

TEST_F(CommandLineTest, PrintedTextIsHeldBackYetArrivesOnEveryWayOut) {
    Print(L"held\n");
    EXPECT_EQ(test_platform::Output(), L"");
    platform::FlushOutput();
    EXPECT_EQ(test_platform::Output(), L"held\n");

    std::wstring listing;
    for (int i = 0; i < 20; ++i) {
        const std::wstring name = L"Client" + std::to_wstring(10 + i);
        registry::memory::PutString(RootKey::LocalMachine, kClients + name + L"\\shell\\open\\command",
                                    nullptr, name + L".exe");
        listing += L"\nHKLM \"" + name + L"\"\n  " + name + L".exe\n  [Capabilities\\URLAssociations not found]\n";
    }
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        std::wstring output;
    } cases[] = {
        {"refusal", {L"delete", L"HKCR", L"Foo"}, L"Invalid root key. Use HKCU or HKLM.\n"},
        {"usage", {}, kBanner},
        {"long-listing", {L"list", L"HKLM"}, listing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        test_platform::ClearOutput();
        const std::size_t piecesBefore = test_platform::OutputPieceCount();
        EXPECT_EQ(RunCommand(c.words).output, c.output);
        platform::FlushOutput();
        EXPECT_EQ(test_platform::Output(), c.output) << "text was left for a later flush";
        if (c.output.size() > 200) {
            EXPECT_GT(test_platform::OutputPieceCount() - piecesBefore, 2u);
        }
    }
}

// A standard user may read HKLM but not open it for writing, so the reading
// commands must open it for reading only, and the writing ones must refuse
// before they open anything.
TEST_F(CommandLineTest, StandardUserReadsHklmButIsRefusedChangesBeforeAnyOpen) {
    ASSERT_EQ(RunCommand({L"HKLM", L"Foo", L"C:\\Apps\\foo.exe"}).status, 0);
    test_platform::PutFile(L"C:\\Apps\\foo.exe", {});
    test_platform::SetAdministrator(false);
    registry::memory::SetAdministrator(false);
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        int status;
        const wchar_t* output;
    } cases[] = {
        {"list", {L"list", L"HKLM"}, 0, L"\nHKLM \"Foo\"\n  C:\\Apps\\foo.exe\n  http/https: FooURL\n"},
        {"check", {L"check", L"HKLM", L"Foo"}, 0, L"Foo is registered correctly under HKLM.\n"},
        {"settings", {L"settings", L"HKLM", L"Foo"}, 0, L"Opened Settings > Default apps for Foo.\n"},
        {"register", {L"HKLM", L"Bar", L"C:\\bar.exe"}, 1, kAdminRequired},
        {"delete", {L"delete", L"HKLM", L"Foo"}, 1, kAdminRequired},
        {"repair", {L"repair", L"HKLM"}, 1, kAdminRequired},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        registry::memory::ClearFaultsAndCounters();
        CommandResult result = RunCommand(c.words);
        // check goes on to say what Windows opens links with now.
        EXPECT_EQ(result.output.substr(0, std::wcslen(c.output)), c.output);
        EXPECT_EQ(result.status, c.status);
        if (c.status == 1) {
            EXPECT_EQ(registry::memory::OperationCount(), 0u) << "a refused command opened a key";
        }
    }
}

TEST_F(CommandLineTest, NonAdministratorStillRegistersUnderHkcu) {
    test_platform::SetAdministrator(false);
    CommandResult result = RunCommand({L"hkcu", L"Foo", L"C:\\x.exe"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              L"Portable browser registered successfully.\nhttp/https: FooURL\n");
}

}  // namespace

namespace {

// A window Marovendel owns closes when it exits: such a run ends by waiting
// for a key, except for a double-click, whose home screen closes on Enter.
// A run in a console, a script or a pipe never waits and never reads.
TEST_F(CommandLineTest, OnlyAWindowOfItsOwnWaitsForAKey) {
    const std::wstring pause = L"\nPress any key to close this window.\n";
    const std::wstring hint =
        L"To register a browser for yourself, drag its .exe or its shortcut onto Marovendel.exe.\n";
    const struct {
        const char* id;
        bool ownsWindow;
        std::vector<std::wstring> words;
        std::wstring tail;
        int status;
        int waits;
        int reads;
    } cases[] = {
        {"double-click", true, {}, hint + L"Press Enter to close.\n\n", 0, 0, 1},
        {"refusal", true, {L"HKCU"}, L"<ExecutablePath>\n" + pause, 1, 1, 0},
        {"console", false, {}, L"Open with entries\n", 1, 0, 0},
        {"console, a drop's argument", false, {L"C:\\Apps"}, L"Open with entries\n", 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetOwnsConsoleWindow(c.ownsWindow);
        test_platform::SetConsoleInput({L""});
        const CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.status, c.status);
        ASSERT_GE(result.output.size(), c.tail.size());
        EXPECT_EQ(result.output.substr(result.output.size() - c.tail.size()), c.tail);
        EXPECT_EQ(test_platform::KeyPressWaitCount(), c.waits);
        EXPECT_EQ(test_platform::ConsoleReadCount(), c.reads);
    }
}

}  // namespace

namespace {

// Explorer passes whatever was dropped: in the window, what makes no command
// gets one line on what to drop instead of the usage, which stays for a
// console.
TEST_F(CommandLineTest, AWrongDropInTheWindowSaysWhatToDrop) {
    const std::wstring dropOne = L"; drop one browser's .exe or its shortcut onto Marovendel.exe.\n";
    const std::wstring pause = L"\nPress any key to close this window.\n";
    const struct {
        const char* id;
        bool ownsWindow;
        std::vector<std::wstring> words;
        std::wstring output;
    } cases[] = {
        {"folder", true, {L"C:\\Apps\\Foo"}, L"C:\\Apps\\Foo is a folder" + dropOne + pause},
        {"several", true, {L"C:\\a.exe", L"C:\\b.exe"}, L"2 items were dropped" + dropOne + pause},
        {"missing", true, {L"C:\\gone.exe"}, L"C:\\gone.exe does not exist" + dropOne + pause},
        {"folder-in-a-console", false, {L"C:\\Apps\\Foo"}, kBanner},
        {"several-in-a-console", false, {L"C:\\a.exe", L"C:\\b.exe"}, kBanner},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::PutDirectory(L"C:\\Apps\\Foo");
        test_platform::PutFile(L"C:\\a.exe", {});
        test_platform::PutFile(L"C:\\b.exe", {});
        test_platform::SetOwnsConsoleWindow(c.ownsWindow);
        const CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(registry::memory::OperationCount(), 0u);
    }
}

}  // namespace

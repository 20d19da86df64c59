// The check form: registrations that must check clean, and the line each
// kind of fault prints.
#include <functional>

#include "support/run_command.h"

namespace {

using registry::memory::PutKey;
using registry::memory::PutString;
using registry::memory::PutValue;

const std::wstring kClients = L"SOFTWARE\\Clients\\StartMenuInternet\\";
const std::wstring kFooExe = L"C:\\Apps\\Foo\\foo.exe";
const std::wstring kFooCommand = L"Software\\Classes\\FooURL\\shell\\open\\command";
// What check adds after its verdict where the test platform knows no default.
const std::wstring kNoDefaults =
    L"What Windows opens http with is unknown: no default is set (0x80070483).\n"
    L"What Windows opens https with is unknown: no default is set (0x80070483).\n"
    L"What Windows opens .html with is unknown: no default is set (0x80070483).\n";

void PutProgram(const std::wstring& path) {
    test_platform::PutFile(path, {});
}

void Register(const std::wstring& root, const std::wstring& name, const std::wstring& exe) {
    ASSERT_EQ(RunCommand({root, name, exe}).status, 0);
}

class CheckBrowserTest : public CommandTest {};

TEST_F(CheckBrowserTest, SoundRegistrationsCheckClean) {
    const struct {
        const char* id;
        std::function<void()> seed;
    } cases[] = {
        {"own", [] { Register(L"HKCU", L"Foo", kFooExe); }},
        // CreateProcess finds an unquoted path with spaces by trying each
        // prefix that ends at a space.
        {"unquoted-spaces", [] {
             Register(L"HKCU", L"Foo", L"C:\\Program Files\\Foo\\foo.exe");
             PutProgram(L"C:\\Program Files\\Foo\\foo.exe");
         }},
        {"unquoted-with-arguments", [] {
             Register(L"HKCU", L"Foo", kFooExe);
             PutString(RootKey::CurrentUser, kClients + L"Foo\\shell\\open\\command", nullptr,
                       L"C:\\Apps\\Foo\\foo.exe --profile C:\\Apps\\Foo\\profile");
         }},
        // The merged classes view finds an HKCU client's class under HKLM.
        {"class-under-hklm", [] {
             Register(L"HKLM", L"Foo", kFooExe);
             Register(L"HKCU", L"Foo", kFooExe);
             registry::DeleteTree(RootKey::CurrentUser, L"Software\\Classes\\FooURL");
         }},
        {"expandable-command-without-terminator", [] {
             Register(L"HKCU", L"Foo", kFooExe);
             test_platform::SetEnvironment(L"APPS", L"C:\\Apps");
             PutValue(RootKey::CurrentUser, kFooCommand, nullptr, registry::kRegExpandSz,
                      registry::ToUtf16Bytes(L"\"%apps%\\Foo\\foo.exe\" --url %L"));
         }},
        {"lower-case-link-placeholder", [] {
             Register(L"HKCU", L"Foo", kFooExe);
             PutString(RootKey::CurrentUser, kFooCommand, nullptr, L"\"" + kFooExe + L"\" %l");
         }},
        // An earlier version's "%1" for a Chromium browser stays sound, beside
        // the form a registration now gives it.
        {"earlier-form-of-a-chromium-class", [] {
             Register(L"HKCU", L"Foo", kFooExe);
             PutProgram(L"C:\\Apps\\Foo\\foo_elf.dll");
             PutString(RootKey::CurrentUser, kFooCommand, nullptr, L"\"" + kFooExe + L"\" \"%1\"");
         }},
        {"chromium-class", [] {
             PutProgram(L"C:\\Apps\\Foo\\foo_elf.dll");
             Register(L"HKCU", L"Foo", kFooExe);
         }},
        {"blanks-before-quoted-program", [] {
             Register(L"HKCU", L"Foo", kFooExe);
             PutString(RootKey::CurrentUser, kFooCommand, nullptr, L" \t\"" + kFooExe + L"\" \"%1\"");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        PutProgram(kFooExe);
        c.seed();
        test_platform::SetAdministrator(false);
        const std::wstring before = registry::memory::Dump();
        CommandResult result = RunCommand({L"check", L"HKCU", L"Foo"});
        EXPECT_EQ(result.output, L"Foo is registered correctly under HKCU.\n" + kNoDefaults);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(registry::memory::Dump(), before) << "the check changed the registry";
    }
}

TEST_F(CheckBrowserTest, MissingProgramOrLinkIsNamedByKeyAndValue) {
    Register(L"HKLM", L"Foo", kFooExe);
    test_platform::SetAdministrator(false);
    CommandResult result = RunCommand({L"check", L"hklm", L"Foo"});
    EXPECT_EQ(result.output,
              L"  HKLM\\SOFTWARE\\Clients\\StartMenuInternet\\Foo\\shell\\open\\command (default): "
              L"the program C:\\Apps\\Foo\\foo.exe does not exist\n"
              L"  HKLM\\SOFTWARE\\Classes\\FooURL\\shell\\open\\command (default): "
              L"the program C:\\Apps\\Foo\\foo.exe does not exist\n"
              L"Foo has 2 problem(s) under HKLM; if the browser has moved, register it again with "
              L"its new path.\n" + kNoDefaults);
    EXPECT_EQ(result.status, 2);

    PutProgram(kFooExe);
    PutString(RootKey::LocalMachine, kFooCommand, nullptr, L"\"" + kFooExe + L"\" -new-window");
    result = RunCommand({L"check", L"HKLM", L"Foo"});
    EXPECT_EQ(result.output,
              L"  HKLM\\SOFTWARE\\Classes\\FooURL\\shell\\open\\command (default): "
              L"the command does not pass the link (%1 or %L)\n"
              L"Foo has 1 problem(s) under HKLM; register it again to repair.\n" + kNoDefaults);
    EXPECT_EQ(result.status, 2);
}

TEST_F(CheckBrowserTest, ForeignRegistrationFaultsAreEachReportedOnce) {
    const std::wstring client = kClients + L"Odd";
    PutString(RootKey::CurrentUser, client + L"\\shell\\open\\command", nullptr,
              L"C:\\Program Files\\Odd\\odd.exe -new");
    PutString(RootKey::CurrentUser, client + L"\\Capabilities", L"ApplicationDescription", L"");
    registry::memory::PutDword(RootKey::CurrentUser, client + L"\\Capabilities\\URLAssociations",
                               L"http", 7);
    PutString(RootKey::CurrentUser, client + L"\\Capabilities\\FileAssociations", L".htm",
              L"OddHTML");
    PutString(RootKey::CurrentUser, client + L"\\Capabilities\\FileAssociations", L".html",
              L"oddhtml");
    PutString(RootKey::CurrentUser, L"Software\\Classes\\OddHTML", nullptr, L"Odd page");
    PutString(RootKey::CurrentUser, client + L"\\Capabilities\\FileAssociations", L".xht",
              L"OddXHT");
    CommandResult result = RunCommand({L"check", L"HKCU", L"Odd"});
    const std::wstring caps = L"  HKCU\\" + client + L"\\Capabilities";
    EXPECT_EQ(result.output,
              L"  HKCU\\SOFTWARE\\RegisteredApplications (Odd): the value is missing\n"
              L"  HKCU\\" + client + L"\\shell\\open\\command (default): "
              L"the command names no existing program file\n" +
              caps + L" (ApplicationDescription): the value is empty\n" +
              caps + L"\\URLAssociations (http): the value is not a string\n" +
              caps + L"\\URLAssociations (https): the value is missing\n"
              L"  HKCU\\SOFTWARE\\Classes\\OddHTML\\shell: the key is missing\n"
              L"  HKCU\\SOFTWARE\\Classes\\OddHTML\\shell\\open: the key is missing\n"
              L"  HKCU\\SOFTWARE\\Classes\\OddHTML\\shell\\open\\command: the key is missing\n"
              L"  HKCU\\SOFTWARE\\Classes\\OddXHT: the key is missing here and under HKLM\n"
              L"Odd has 9 problem(s) under HKCU; if the browser has moved, drop it onto "
              L"Marovendel.exe from its new place, or register it again with its new path.\n" +
                  kNoDefaults);
    EXPECT_EQ(result.status, 2);
}

// Each key from the client or the class down to its open command is named
// when it is missing, and so is every key below it.
TEST_F(CheckBrowserTest, EveryMissingKeyOnTheWayToACommandIsNamed) {
    const std::wstring client = L"  HKCU\\" + kClients + L"Foo";
    const std::wstring fooClass = L"  HKCU\\SOFTWARE\\Classes\\FooURL";
    const struct {
        const wchar_t* deleted;  // under HKCU
        std::wstring lines;
        int problems;
    } cases[] = {
        {L"SOFTWARE\\Clients\\StartMenuInternet\\Foo\\shell",
         client + L"\\shell: the key is missing\n" + client + L"\\shell\\open: the key is missing\n" +
             client + L"\\shell\\open\\command: the key is missing\n", 3},
        {L"SOFTWARE\\Clients\\StartMenuInternet\\Foo\\shell\\open",
         client + L"\\shell\\open: the key is missing\n" +
             client + L"\\shell\\open\\command: the key is missing\n", 2},
        {L"SOFTWARE\\Clients\\StartMenuInternet\\Foo\\shell\\open\\command",
         client + L"\\shell\\open\\command: the key is missing\n", 1},
        {L"Software\\Classes\\FooURL\\shell",
         fooClass + L"\\shell: the key is missing\n" + fooClass + L"\\shell\\open: the key is missing\n" +
             fooClass + L"\\shell\\open\\command: the key is missing\n", 3},
        {L"Software\\Classes\\FooURL\\shell\\open",
         fooClass + L"\\shell\\open: the key is missing\n" +
             fooClass + L"\\shell\\open\\command: the key is missing\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.deleted)));
        SetUp();
        PutProgram(kFooExe);
        Register(L"HKCU", L"Foo", kFooExe);
        ASSERT_EQ(registry::DeleteTree(RootKey::CurrentUser, c.deleted), registry::kSuccess);
        const CommandResult result = RunCommand({L"check", L"HKCU", L"Foo"});
        EXPECT_EQ(result.output, c.lines + L"Foo has " + std::to_wstring(c.problems) +
                                     L" problem(s) under HKCU; register it again to repair.\n" +
                                     kNoDefaults);
        EXPECT_EQ(result.status, 2);
    }
}

// Either half of a registration is enough for check to say what the other
// lacks, rather than call the name unknown.
TEST_F(CheckBrowserTest, HalfARegistrationListsWhatIsMissing) {
    const struct {
        const char* id;
        std::function<void()> seed;
        const wchar_t* output;
    } cases[] = {
        {"only-registered-applications", [] {
             PutString(RootKey::CurrentUser, L"Software\\RegisteredApplications", L"Foo",
                       kClients + L"Foo\\Capabilities");
         },
         L"  HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Foo\\Capabilities: the key is missing\n"},
        {"only-start-menu-internet", [] {
             Register(L"HKCU", L"Foo", kFooExe);
             registry::Key applications;
             registry::OpenKey(RootKey::CurrentUser, L"Software\\RegisteredApplications",
                               registry::Access::Write, applications);
             registry::DeleteValue(applications, L"Foo");
         },
         L"  HKCU\\SOFTWARE\\RegisteredApplications (Foo): the value is missing\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        PutProgram(kFooExe);
        c.seed();
        CommandResult result = RunCommand({L"check", L"HKCU", L"Foo"});
        // The verdict, then what Windows opens links with now.
        const std::wstring verdict =
            std::wstring(c.output) + L"Foo has 1 problem(s) under HKCU; register it again to repair.\n";
        EXPECT_EQ(result.output.substr(0, verdict.size()), verdict);
        EXPECT_EQ(result.status, 2);
    }
}

TEST_F(CheckBrowserTest, NameUnknownToTheRootIsNotRegistered) {
    Register(L"HKLM", L"Foo", kFooExe);
    PutKey(RootKey::CurrentUser, kClients + L"Other");
    CommandResult result = RunCommand({L"check", L"HKCU", L"Foo"});
    EXPECT_EQ(result.output, L"Foo is not registered under HKCU.\n");
    EXPECT_EQ(result.status, 1);
}

}  // namespace

namespace {

TEST_F(CheckBrowserTest, DefaultLinesSayWhoOpensTheWebAndOnlyInformAboutIt) {
    const std::wstring sound = L"Foo is registered correctly under HKCU.\n";
    const std::wstring hint =
        L"Foo is not the default for http; Marovendel.exe settings HKCU Foo opens its Default apps page.\n";
    const struct {
        const char* id;
        std::vector<std::pair<std::wstring, std::wstring>> defaults;
        const wchar_t* failure;  // every query fails with this reason
        bool sound;
        int status;
        std::wstring tail;  // after the problem lines
    } cases[] = {
        {"ours", {{L"http", L"FooURL"}, {L"https", L"fooURL"}, {L".html", L"FooHTML"}}, nullptr, true, 0,
         sound + L"Windows opens http with Foo (FooURL).\nWindows opens https with Foo (fooURL).\n"
                 L"Windows opens .html with Foo (FooHTML).\n"
                 L"Windows opens 3 of 4 types with Foo; what opens .htm is unknown.\n"},
        {"another-for-http", {{L"http", L"ChromeHTML"}, {L"https", L"FooURL"}}, nullptr, true, 0,
         sound + L"Windows opens http with ChromeHTML, not with Foo.\n"
                 L"Windows opens https with Foo (FooURL).\n"
                 L"What Windows opens .html with is unknown: no default is set (0x80070483).\n"
                 L"Windows opens 1 of 4 types with Foo; http opens with something else; what opens "
                 L".htm and .html is unknown.\n" + hint},
        {"another-but-unsound", {{L"http", L"ChromeHTML"}, {L"https", L"ChromeHTML"}, {L".html", L"FooURL"}},
         nullptr, false, 2,
         L"Foo has 1 problem(s) under HKCU; register it again to repair.\n"
         L"Windows opens http with ChromeHTML, not with Foo.\n"
         L"Windows opens https with ChromeHTML, not with Foo.\n"
         L"Windows opens .html with FooURL, not with Foo.\n"
         L"Windows opens 0 of 4 types with Foo; http, https and .html open with something else; "
         L"what opens .htm is unknown.\n"},
        {"unknown", {{L"http", L"ChromeHTML"}}, L"the shell could not tell (0x80004005)", true, 0,
         sound + L"What Windows opens http with is unknown: the shell could not tell (0x80004005).\n"
                 L"What Windows opens https with is unknown: the shell could not tell (0x80004005).\n"
                 L"What Windows opens .html with is unknown: the shell could not tell (0x80004005).\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        Register(L"HKCU", L"Foo", kFooExe);
        // An installer's kind of registration: its pages have a class of their own.
        PutString(RootKey::CurrentUser, kClients + L"Foo\\Capabilities\\FileAssociations", L".html", L"FooHTML");
        PutString(RootKey::CurrentUser, L"Software\\Classes\\FooHTML\\shell\\open\\command", nullptr,
                  L"\"" + kFooExe + L"\" \"%1\"");
        PutString(RootKey::CurrentUser, kClients + L"Foo\\shell\\open\\command", nullptr,
                  L"\"" + kFooExe + L"\"");
        PutProgram(kFooExe);
        if (!c.sound) {
            PutString(RootKey::CurrentUser, kFooCommand, nullptr, L"\"" + kFooExe + L"\"");  // no link
        }
        for (const auto& d : c.defaults) {
            test_platform::SetCurrentDefault(d.first, d.second);
        }
        if (c.failure != nullptr) {
            test_platform::FailCurrentDefault(c.failure);
        }
        CommandResult result = RunCommand({L"check", L"HKCU", L"Foo"});
        EXPECT_EQ(result.status, c.status);
        ASSERT_GE(result.output.size(), c.tail.size()) << testing::PrintToString(result.output);
        EXPECT_EQ(result.output.substr(result.output.size() - c.tail.size()), c.tail);
    }
}

}  // namespace

namespace {

// After Set default, every type the browser registered is accounted for:
// the count of those Windows opens with it, and the others by name.
TEST_F(CheckBrowserTest, TheLastCountCoversEveryTypeTheRegistrationNames) {
    const std::vector<std::wstring> all = {L".htm", L".html", L".shtml", L".xht", L".xhtml", L".svg",
                                           L".webp", L".avif", L".pdf", L"http", L"https", L"mailto"};
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        std::vector<std::pair<std::wstring, std::wstring>> others;  // type, class
        std::wstring line;
    } cases[] = {
        {"all ours", {L"-all"}, {}, L"Windows opens 12 of 12 types with Foo.\n"},
        {"pdf and mail elsewhere", {L"-all"}, {{L".pdf", L"AcroExch.Document"}, {L"mailto", L"Mail"}},
         L"Windows opens 10 of 12 types with Foo; mailto and .pdf open with something else.\n"},
        {"plain registration", {}, {{L".htm", L"ChromeHTML"}},
         L"Windows opens 3 of 4 types with Foo; .htm opens with something else.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        std::vector<std::wstring> words = {L"HKCU", L"Foo", kFooExe};
        words.insert(words.end(), c.words.begin(), c.words.end());
        ASSERT_EQ(RunCommand(words).status, 0);
        PutProgram(kFooExe);
        for (const std::wstring& type : all) {
            test_platform::SetCurrentDefault(type, L"FooURL");
        }
        for (const auto& other : c.others) {
            test_platform::SetCurrentDefault(other.first, other.second);
        }
        const CommandResult result = RunCommand({L"check", L"HKCU", L"Foo"});
        EXPECT_EQ(result.status, 0);
        ASSERT_GE(result.output.size(), c.line.size());
        EXPECT_EQ(result.output.substr(result.output.size() - c.line.size()), c.line);
        // Each type is asked about once, http, https and .html among them.
        const auto& asked = test_platform::QueriedDefaults();
        EXPECT_EQ(asked.size(), c.words.empty() ? 4u : 12u);
    }
}

}  // namespace

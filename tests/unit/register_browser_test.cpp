// Registration: the layout written, what each stage reports when the store
// refuses it, and the readback that follows.
#include "platform/platform.h"
#include "programs/command_program.h"
#include "support/program_file.h"
#include "support/run_command.h"

namespace {

using registry::memory::FailOperation;
using registry::memory::Op;
using registry::memory::StoredString;
using registry::memory::StoredValue;

const std::wstring kClient = L"Software\\Clients\\StartMenuInternet\\Foo";

struct Expected {
    const wchar_t* path;
    const wchar_t* name;
    std::wstring data;
};

::testing::AssertionResult HasString(RootKey root, const Expected& e) {
    std::optional<registry::ValueData> value =
        registry::memory::StoredValue(root, e.path, e.name);
    const std::wstring label = std::wstring(e.path) + L" : " + (e.name ? e.name : L"(default)");
    if (!value) {
        return ::testing::AssertionFailure() << "missing " << testing::PrintToString(label);
    }
    std::vector<std::uint8_t> bytes = registry::ToUtf16Bytes(e.data);
    bytes.push_back(0);
    bytes.push_back(0);
    if (value->type != registry::kRegSz || value->bytes != bytes) {
        return ::testing::AssertionFailure()
               << testing::PrintToString(label) << " holds type " << value->type << ", "
               << testing::PrintToString(registry::StringFromBytes(value->bytes));
    }
    return ::testing::AssertionSuccess();
}

std::vector<Expected> Layout(const std::wstring& exe, const std::wstring& classCommand,
                             const std::wstring& icon) {
    const std::wstring caps = kClient + L"\\Capabilities";
    return {
        {L"Software\\Clients\\StartMenuInternet\\Foo", nullptr, L"Foo"},
        {L"Software\\Clients\\StartMenuInternet\\Foo\\shell\\open\\command", nullptr, exe},
        {L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities", L"ApplicationName", L"Foo"},
        {L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities", L"ApplicationIcon", icon},
        {L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities", L"ApplicationDescription",
         L"Foo"},
        {L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities\\FileAssociations", L".htm",
         L"FooURL"},
        {L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities\\FileAssociations", L".html",
         L"FooURL"},
        {L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities\\URLAssociations", L"http",
         L"FooURL"},
        {L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities\\URLAssociations", L"https",
         L"FooURL"},
        {L"Software\\RegisteredApplications", L"Foo", caps},
        {L"Software\\Classes\\FooURL", nullptr, L"Foo"},
        {L"Software\\Classes\\FooURL", L"FriendlyTypeName", L"Foo"},
        {L"Software\\Classes\\FooURL\\DefaultIcon", nullptr, icon},
        {L"Software\\Classes\\FooURL\\shell\\open\\command", nullptr, classCommand},
    };
}

class RegisterBrowserTest : public CommandTest {};

TEST_F(RegisterBrowserTest, WritesTheWholeLayoutUnderEitherRoot) {
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
        SCOPED_TRACE(root == RootKey::CurrentUser ? "HKCU" : "HKLM");
        SetUp();
        registry::memory::PutKey(RootKey::CurrentUser, L"Software\\Clients");  // no StartMenuInternet
        CommandResult result = RunCommand(
            {root == RootKey::CurrentUser ? L"HKCU" : L"hklm", L"Foo", L"C:\\Apps\\Foo\\foo.exe"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, L"Portable browser registered successfully.\nhttp/https: FooURL\n");
        for (const Expected& e : Layout(L"C:\\Apps\\Foo\\foo.exe", L"\"C:\\Apps\\Foo\\foo.exe\" \"%1\"",
                                        L"C:\\Apps\\Foo\\foo.exe")) {
            EXPECT_TRUE(HasString(root, e));
        }
        EXPECT_EQ(test_platform::NotificationCount(), 1);
        const RootKey other = root == RootKey::CurrentUser ? RootKey::LocalMachine : RootKey::CurrentUser;
        EXPECT_FALSE(registry::memory::HasKey(other, L"Software\\Classes\\FooURL"));
    }
}

TEST_F(RegisterBrowserTest, ClassOpenCommandPassesTheLinkIconsNameTheProgram) {
    const struct {
        const wchar_t* exe;
        const wchar_t* classCommand;
        const wchar_t* icon;  // the program alone when the path is quoted or has arguments
    } cases[] = {
        {L"C:\\My Apps\\it's \u00e9.exe", L"\"C:\\My Apps\\it's \u00e9.exe\" \"%1\"",
         L"C:\\My Apps\\it's \u00e9.exe"},
        {L"\"C:\\A B\\b.exe\" -portable", L"\"C:\\A B\\b.exe\" -portable \"%1\"", L"C:\\A B\\b.exe"},
        {L"\"C:\\A B\\b.exe\"", L"\"C:\\A B\\b.exe\" \"%1\"", L"C:\\A B\\b.exe"},
        {L"C:\\Apps\\web.exe --portable", L"\"C:\\Apps\\web.exe\" --portable \"%1\"",
         L"C:\\Apps\\web.exe"},
        // No program to tell the arguments from: kept as given.
        {L"C:\\b.exe --url=%1", L"C:\\b.exe --url=%1", L"C:\\b.exe --url=%1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.exe)));
        SetUp();
        test_platform::PutFile(L"C:\\Apps\\web.exe", {});
        EXPECT_EQ(RunCommand({L"HKCU", L"Foo", c.exe}).status, 0);
        for (const Expected& e : Layout(c.exe, c.classCommand, c.icon)) {
            EXPECT_TRUE(HasString(RootKey::CurrentUser, e));
        }
    }
}

// A link holding quotes and spaces must not add switches: each browser
// family's class command keeps it one argument, after whatever else the
// command carries; a launcher gets Chromium's form only when it is known to
// pass the link on last. The client's own command stays as given.
TEST_F(RegisterBrowserTest, TheClassCommandKeepsTheLinkOneArgumentForEachFamily) {
    const std::wstring edge = L"D:\\Edge\\msedge.exe";
    const std::wstring app = L"C:\\Chrome\\Application";
    const std::wstring ff = L"D:\\Firefox\\firefox.exe";
    const std::wstring pa = L"D:\\PortableApps\\ChromiumPortable";
    const std::wstring launch = pa + L"\\App\\AppInfo\\Launcher\\ChromiumPortable.ini=[Launch]\r\n"
                                     L"ProgramExecutable=Chromium\\chrome.exe";
    const std::wstring paElf = pa + L"\\App\\Chromium\\chrome_elf.dll";
    const std::wstring single = L" --single-argument %1";
    const struct {
        const char* id;
        std::wstring exe;
        std::vector<std::wstring> files;  // path=text, or a folder's path ending in a backslash
        std::wstring classCommand;
        std::uint16_t native = test_program::kX64;
    } cases[] = {
        {"a *_elf.dll beside", edge, {L"D:\\Edge\\msedge_elf.dll"}, L"\"" + edge + L"\"" + single},
        {"in its one version folder", app + L"\\chrome.exe",
         {app + L"\\1.2.3.4\\", app + L"\\1.2.3.4\\chrome_elf.dll"}, L"\"" + app + L"\\chrome.exe\"" + single},
        {"two version folders", app + L"\\chrome.exe",
         {app + L"\\1.2.3.4\\", app + L"\\1.2.3.5\\", app + L"\\1.2.3.4\\chrome_elf.dll"},
         L"\"" + app + L"\\chrome.exe\" \"%1\""},
        {"not named as a version", app + L"\\chrome.exe", {app + L"\\1.2.3\\", app + L"\\1.2.3\\chrome_elf.dll"},
         L"\"" + app + L"\\chrome.exe\" \"%1\""},
        {"a profile flag comes before it", L"\"" + edge + L"\" --user-data-dir=\"D:\\P Q\"",
         {L"D:\\Edge\\msedge_elf.dll"}, L"\"" + edge + L"\" --user-data-dir=\"D:\\P Q\"" + single},
        {"a quote its arguments leave open is closed", L"\"" + edge + L"\" --user-data-dir=\"D:\\P\\\"",
         {L"D:\\Edge\\msedge_elf.dll"}, L"\"" + edge + L"\" --user-data-dir=\"D:\\P\\\"\"" + single},
        {"the user's own %1 stays", L"\"" + edge + L"\" --app=%1", {L"D:\\Edge\\msedge_elf.dll"},
         L"\"" + edge + L"\" --app=%1"},
        {"Firefox alone", ff, {L"D:\\Firefox\\xul.dll", L"D:\\Firefox\\omni.ja"},
         L"\"" + ff + L"\" -osint -url \"%1\""},
        {"Firefox quoted alone", L"\"" + ff + L"\" ", {L"D:\\Firefox\\xul.dll", L"D:\\Firefox\\omni.ja"},
         L"\"" + ff + L"\"  -osint -url \"%1\""},
        {"Firefox with -profile", L"\"" + ff + L"\" -profile D:\\P", {L"D:\\Firefox\\xul.dll", L"D:\\Firefox\\omni.ja"},
         L"\"" + ff + L"\" -profile D:\\P \"%1\""},
        {"xul.dll without omni.ja", ff, {L"D:\\Firefox\\xul.dll"}, L"\"" + ff + L"\" \"%1\""},
        {"PortableApps.com launcher of Chromium", pa + L"\\ChromiumPortable.exe", {launch, paElf},
         L"\"" + pa + L"\\ChromiumPortable.exe\"" + single},
        {"its user adds parameters", pa + L"\\ChromiumPortable.exe",
         {launch, paElf, pa + L"\\ChromiumPortable.ini=[X]\r\nadditionalparameters = --incognito"},
         L"\"" + pa + L"\\ChromiumPortable.exe\" \"%1\""},
        {"its Chromium64 on 32-bit Windows", pa + L"\\ChromiumPortable.exe",
         {pa + L"\\App\\AppInfo\\Launcher\\ChromiumPortable.ini=[Launch]\r\n"
               L"ProgramExecutable=Other\\other.exe\r\nProgramExecutable64=Chromium\\chrome.exe",
          paElf},
         L"\"" + pa + L"\\ChromiumPortable.exe\" \"%1\"", test_program::kX86},
        {"a launcher without its .ini", L"D:\\Foo\\Foo-Portable.exe",
         {L"D:\\Foo\\Foo\\chrome.exe", L"D:\\Foo\\Foo\\chrome_elf.dll"}, L"\"D:\\Foo\\Foo-Portable.exe\" \"%1\""},
        {"Firefox Portable's launcher", L"D:\\FirefoxPortable\\FirefoxPortable.exe",
         {L"D:\\FirefoxPortable\\App\\AppInfo\\Launcher\\FirefoxPortable.ini=[Launch]\r\n"
          L"ProgramExecutable=Firefox\\firefox.exe",
          L"D:\\FirefoxPortable\\App\\Firefox\\xul.dll", L"D:\\FirefoxPortable\\App\\Firefox\\omni.ja"},
         L"\"D:\\FirefoxPortable\\FirefoxPortable.exe\" \"%1\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        test_platform::SetNativeMachine(c.native);
        test_platform::PutFile(FindCommandProgram(c.exe).path, test_program::Program());
        for (const std::wstring& file : c.files) {
            const std::size_t equals = file.find(L'=');
            const std::wstring text = equals == std::wstring::npos ? L"" : file.substr(equals + 1);
            if (file.back() == L'\\') {
                test_platform::PutDirectory(file.substr(0, file.size() - 1));
            } else {
                test_platform::PutFile(file.substr(0, equals), {text.begin(), text.end()});
            }
        }
        EXPECT_EQ(RunCommand({L"HKCU", L"Foo", c.exe}).status, 0);
        EXPECT_TRUE(HasString(RootKey::CurrentUser, {L"Software\\Classes\\FooURL\\shell\\open\\command",
                                                     nullptr, c.classCommand}));
        EXPECT_EQ(StoredString(RootKey::CurrentUser, kClient + L"\\shell\\open\\command", nullptr), c.exe);
    }
}

TEST_F(RegisterBrowserTest, RegisteringAgainOverwritesAndKeepsForeignValues) {
    RunCommand({L"HKCU", L"Foo", L"C:\\old.exe"});
    registry::memory::PutString(RootKey::CurrentUser, kClient + L"\\Capabilities", L"Extra", L"kept");
    CommandResult result = RunCommand({L"HKCU", L"foo", L"C:\\new.exe"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(HasString(RootKey::CurrentUser, {L"Software\\Classes\\FooURL\\DefaultIcon", nullptr, L"C:\\new.exe"}));
    EXPECT_TRUE(HasString(RootKey::CurrentUser, {L"Software\\Clients\\StartMenuInternet\\Foo\\Capabilities", L"Extra", L"kept"}));
    EXPECT_TRUE(HasString(RootKey::CurrentUser, {L"Software\\Clients\\StartMenuInternet\\Foo", nullptr, L"foo"}));
}

TEST_F(RegisterBrowserTest, EveryCreateRefusedReportsEachStageInOrder) {
    registry::memory::Reset();  // and no RegisteredApplications either
    FailOperation(Op::Create, L"");
    CommandResult result = RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.output,
              L"Failed to create registry key for the browser.\n"
              L"Failed to open RegisteredApplications key.\n"
              L"Failed to create Capabilities key.\n"
              L"Failed to create ProgID key.\n"
              L"Portable browser registration incomplete.\n"
              L"Capabilities: [Not found]\n");
}

TEST_F(RegisterBrowserTest, EachSubkeyFailureIsReportedAndTheRestStillWritten) {
    const struct {
        const wchar_t* pathPart;
        const wchar_t* line;
        const wchar_t* readback;
    } cases[] = {
        {L"Foo\\shell\\open\\command", L"Failed to create command subkey.\n", L"http/https: FooURL\n"},
        {L"\\FileAssociations", L"Failed to create FileAssociations subkey.\n", L"http/https: FooURL\n"},
        {L"\\URLAssociations", L"Failed to create URLAssociations subkey.\n", L"Capabilities: [Not found]\n"},
        {L"FooURL\\DefaultIcon", L"Failed to create DefaultIcon subkey.\n", L"http/https: FooURL\n"},
        {L"FooURL\\shell\\open\\command", L"Failed to create shell\\open\\command subkey.\n",
         L"http/https: FooURL\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.pathPart)));
        SetUp();
        FailOperation(Op::Create, c.pathPart);
        CommandResult result = RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.output,
                  std::wstring(c.line) + L"Portable browser registration incomplete.\n" + c.readback);
        EXPECT_TRUE(HasString(RootKey::CurrentUser, {L"Software\\RegisteredApplications", L"Foo",
                                                     kClient + L"\\Capabilities"}));
    }
}

TEST_F(RegisterBrowserTest, ReadbackShowsOnlyWhatIsStoredAsAString) {
    const std::wstring urls = kClient + L"\\Capabilities\\URLAssociations";
    const struct {
        const char* id;
        std::uint32_t type;
        std::vector<std::uint8_t> bytes;
        const wchar_t* line;
    } cases[] = {
        {"no-terminator", registry::kRegSz, {'A', 0, 'B', 0}, L"http/https: AB\n"},
        {"odd-bytes", registry::kRegSz, {'A', 0, 'B'}, L"http/https: A\n"},
        {"dword", registry::kRegDword, {1, 0, 0, 0}, L"http/https: [Not found]\n"},
        {"too-long", registry::kRegSz, std::vector<std::uint8_t>(514, 'x'), L"http/https: [Not found]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        registry::memory::PutValue(RootKey::CurrentUser, urls, L"http", c.type, c.bytes);
        PrintCapabilities(RootKey::CurrentUser, *registration::ClientName::From(L"Foo"));
        platform::FlushOutput();
        EXPECT_EQ(test_platform::Output(), c.line);
    }
}

}  // namespace

namespace {

TEST_F(RegisterBrowserTest, AValueThatCannotBeWrittenLeavesItIncomplete) {
    FailOperation(Op::SetValue, L"\\URLAssociations", registry::kAccessDenied, 2);  // https
    CommandResult result = RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.output,
              L"Failed to write value https.\n"
              L"Portable browser registration incomplete.\n"
              L"http/https: FooURL\n");
}

}  // namespace

namespace {

TEST_F(RegisterBrowserTest, OnlyALowerCaseAllRightAfterThePathWritesTheRest) {
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        bool all;
        int status = 0;
    } cases[] = {
        {"plain", {L"HKCU", L"Foo", L"C:\\foo.exe"}, false},
        {"all", {L"hkcu", L"Foo", L"C:\\foo.exe", L"-all"}, true},
        {"upper-case", {L"HKCU", L"Foo", L"C:\\foo.exe", L"-ALL"}, false, 1},
        {"earlier-form", {L"HKCU", L"Bar", L"C:\\bar.exe", L"-all", L"HKCU", L"Foo", L"C:\\foo.exe"}, false},
        {"later-form", {L"HKCU", L"Bar", L"C:\\bar.exe", L"HKCU", L"Foo", L"C:\\foo.exe", L"-all"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        EXPECT_EQ(RunCommand(c.words).status, c.status);
        EXPECT_EQ(HasString(RootKey::CurrentUser, {kClient.c_str(), nullptr, L"Foo"}), c.status == 0);
        EXPECT_EQ(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Classes\\.htm"), c.all);
        EXPECT_FALSE(registry::memory::StoredValue(RootKey::CurrentUser, L"Software\\Classes\\FooURL",
                                                   L"URL Protocol").has_value());
        EXPECT_FALSE(registry::memory::HasKey(RootKey::CurrentUser, L"Software\\Clients\\StartMenuInternet\\Bar"));
    }
}

// URL Protocol would make FooURL: a scheme any web page can call. Registering
// again deletes the one an earlier version wrote, and nothing else of the
// class; a deletion refused leaves it incomplete.
TEST_F(RegisterBrowserTest, RegisteringAgainDeletesTheUrlProtocolOfTheClass) {
    const std::wstring classPath = L"Software\\Classes\\FooURL";
    const struct {
        const char* id;
        bool earlier;  // an earlier version's URL Protocol is there
        bool refused;
        std::wstring failure;
    } cases[] = {
        {"earlier", true, false, L""},
        {"none there", false, false, L""},
        {"refused", true, true, L"Failed to delete value URL Protocol.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        if (c.earlier) {
            registry::memory::PutString(RootKey::CurrentUser, classPath, L"URL Protocol", L"");
        }
        registry::memory::PutDword(RootKey::CurrentUser, classPath, L"EditFlags", 2);
        if (c.refused) {
            FailOperation(Op::DeleteValue, L"FooURL");
        }
        const CommandResult result = RunCommand({L"HKCU", L"Foo", L"C:\\foo.exe"});
        EXPECT_EQ(result.output, c.failure + (c.refused ? L"Portable browser registration incomplete.\n"
                                                        : L"Portable browser registered successfully.\n") +
                                     L"http/https: FooURL\n");
        EXPECT_EQ(result.status, c.refused ? 2 : 0);
        EXPECT_EQ(StoredValue(RootKey::CurrentUser, classPath, L"URL Protocol").has_value(), c.refused);
        EXPECT_TRUE(StoredValue(RootKey::CurrentUser, classPath, L"EditFlags").has_value());
    }
}

// A program that is not there gets one warning on standard error; what
// standard output says stays as it is.
TEST_F(RegisterBrowserTest, AMissingProgramIsWarnedAboutOnStandardErrorOnly) {
    test_platform::PutFile(L"C:\\Apps\\here.exe", {});
    test_platform::PutFile(L"C:\\Users\\User\\rel.exe", {});
    const std::wstring warning = L"Warning: no program exists at C:\\Apps\\gone.exe; links will "
                                 L"not open until it is there.\n";
    const struct {
        const wchar_t* path;
        std::wstring errors;
    } cases[] = {
        {L"C:\\Apps\\here.exe", L""},
        {L"rel.exe", L""},
        {L"\"C:\\Apps\\here.exe\" --profile x", L""},
        {L"\\\\server\\share\\away.exe", L""},  // not asked
        {L"C:\\Apps\\gone.exe", warning},
        {L"\"C:\\Apps\\gone.exe\" --new-window", warning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        const CommandResult result = RunCommand({L"HKCU", L"Foo", c.path});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, L"Portable browser registered successfully.\nhttp/https: FooURL\n");
        EXPECT_EQ(result.errors, c.errors);
    }
}

}  // namespace

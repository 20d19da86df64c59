// The settings form: which page of Default apps it asks the shell to open.
#include "support/run_command.h"

namespace {

const std::wstring kApplications = L"Software\\RegisteredApplications";

void PutApplication(RootKey root, const std::wstring& name) {
    registry::memory::PutString(root, kApplications, name.c_str(),
                                L"Software\\Clients\\StartMenuInternet\\" + name +
                                    L"\\Capabilities");
}

class OpenSettingsTest : public CommandTest {};

TEST_F(OpenSettingsTest, NameIsSentAsPercentEncodedUtf8) {
    std::wstring loneSurrogate = L"a";
    loneSurrogate.push_back(static_cast<wchar_t>(0xD800));
    loneSurrogate += L"b";
    const struct {
        const char* id;
        std::wstring name;
        const wchar_t* encoded;
    } cases[] = {
        {"unreserved", L"Az09-._~", L"Az09-._~"},
        {"space-quote-percent", L"My \"B\" 100%", L"My%20%22B%22%20100%25"},
        {"ascii-marks", L"a+b&c=d?#", L"a%2Bb%26c%3Dd%3F%23"},
        {"two-and-three-bytes", L"Br\u00f6wser \u65e5", L"Br%C3%B6wser%20%E6%97%A5"},
        {"beyond-the-bmp", L"\U0001F310x", L"%F0%9F%8C%90x"},
        {"lone-surrogate", loneSurrogate, L"a%EF%BF%BDb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        PutApplication(RootKey::CurrentUser, c.name);
        const std::wstring before = registry::memory::Dump();
        CommandResult result = RunCommand({L"settings", L"hkcu", c.name});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, L"Opened Settings > Default apps for " + c.name + L".\n");
        EXPECT_EQ(test_platform::OpenedUris(),
                  std::vector<std::wstring>{
                      std::wstring(L"ms-settings:defaultapps?registeredAppUser=") + c.encoded});
        EXPECT_EQ(registry::memory::Dump(), before);
    }
}

TEST_F(OpenSettingsTest, MachineRegistrationOpensWithoutAdministrator) {
    test_platform::SetAdministrator(false);
    PutApplication(RootKey::LocalMachine, L"Foo");
    CommandResult result = RunCommand({L"SETTINGS", L"HKLM", L"foo"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(test_platform::OpenedUris(),
              std::vector<std::wstring>{L"ms-settings:defaultapps?registeredAppMachine=foo"});
}

TEST_F(OpenSettingsTest, UnregisteredNameOrRefusingShellIsReported) {
    // Registered under the other root, or only as a client key: Settings
    // would not find it.
    PutApplication(RootKey::LocalMachine, L"Foo");
    registry::memory::PutKey(RootKey::CurrentUser, L"Software\\Clients\\StartMenuInternet\\Foo");
    CommandResult result = RunCommand({L"settings", L"HKCU", L"Foo"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, L"Foo is not registered under HKCU.\n");
    registry::DeleteTree(RootKey::LocalMachine, kApplications);
    result = RunCommand({L"settings", L"HKLM", L"Foo"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, L"Foo is not registered under HKLM.\n");
    EXPECT_TRUE(test_platform::OpenedUris().empty());

}

TEST_F(OpenSettingsTest, WithoutSettingsDefaultProgramsBeforeWindows10OrTheWayByHand) {
    const std::wstring failed =
        L"Failed to open Settings: ms-settings:defaultapps?registeredAppUser=Foo%20Bar\n";
    const std::wstring byHand =
        failed + L"Foo Bar is registered under HKCU; choose it by hand in Control Panel > "
                 L"Default Programs on Windows 7 and 8, or in Settings > Apps > Default apps on "
                 L"later versions.\n";
    const struct {
        const char* id;
        platform::WindowsVersion version;
        bool defaultProgramsOpens;
        int status;
        std::wstring lines;
        bool defaultProgramsAsked;
    } cases[] = {
        {"Windows 7", {6, 1, 7601}, true, 0,
         failed + L"Opened Control Panel > Default Programs for Foo Bar instead.\n", true},
        {"Windows 8.1, neither opens", {6, 3, 9600}, false, 2, byHand, true},
        // From Windows 10 on Default Programs shows only a message pointing
        // to Settings.
        {"Windows 10", {10, 0, 19045}, true, 2, byHand, false},
        {"Windows 11", {10, 0, 26100}, true, 2, byHand, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        PutApplication(RootKey::CurrentUser, L"Foo Bar");
        test_platform::SetWindowsVersion(c.version.major, c.version.minor, c.version.build);
        test_platform::RefuseToOpen();
        if (!c.defaultProgramsOpens) {
            test_platform::RefuseDefaultPrograms();
        }
        const CommandResult result = RunCommand({L"settings", L"HKCU", L"Foo Bar"});
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.output, c.lines);
        EXPECT_EQ(test_platform::DefaultProgramsOpened(),
                  c.defaultProgramsAsked ? std::vector<std::wstring>{L"Foo Bar"}
                                         : std::vector<std::wstring>{});
    }
}

// The general page opens wherever the client's own page does not yet exist;
// the line after the usual one says where to click there.
TEST_F(OpenSettingsTest, TheGeneralPageGetsWhereToClick) {
    const std::wstring opened = L"Opened Settings > Default apps for Foo Bar.\n";
    const std::wstring webBrowser = L"This Windows opens the general page: under Web browser, click "
                                    L"the browser named there and choose Foo Bar.\n";
    const std::wstring appList =
        L"This Windows opens the general page: click Foo Bar in its list of apps.\n";
    const struct {
        std::uint32_t build;
        std::optional<std::uint32_t> revision;  // UBR, when stored
        std::wstring lines;
    } cases[] = {
        {19045, 5000, opened + webBrowser},
        {22000, std::nullopt, opened + appList},
        {22621, 1554, opened + appList},
        {22621, 1555, opened},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.build);
        SetUp();
        PutApplication(RootKey::CurrentUser, L"Foo Bar");
        test_platform::SetWindowsVersion(10, 0, c.build);
        if (c.revision) {
            registry::memory::PutDword(RootKey::LocalMachine,
                                       L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"UBR",
                                       *c.revision);
        }
        const CommandResult result = RunCommand({L"settings", L"HKCU", L"Foo Bar"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, c.lines);
        EXPECT_EQ(test_platform::OpenedUris(),
                  std::vector<std::wstring>{L"ms-settings:defaultapps?registeredAppUser=Foo%20Bar"});
    }
}

TEST(DefaultAppsPageTest, EachWindowsByItsBuildAndUpdate) {
    using platform::DefaultAppsPage;
    const struct {
        platform::WindowsVersion version;
        std::uint32_t revision;
        DefaultAppsPage page;
        bool revisionAsked;
    } cases[] = {
        {{0, 0, 0}, 0, DefaultAppsPage::ControlPanel, false},  // not known
        {{6, 1, 7601}, 0, DefaultAppsPage::ControlPanel, false},
        {{6, 3, 9600}, 0, DefaultAppsPage::ControlPanel, false},
        {{10, 0, 10240}, 0, DefaultAppsPage::GeneralWithWebBrowser, false},
        {{10, 0, 19045}, 9999, DefaultAppsPage::GeneralWithWebBrowser, false},
        {{10, 0, 22000}, 1816, DefaultAppsPage::GeneralWithAppList, true},
        {{10, 0, 22000}, 1817, DefaultAppsPage::ClientPage, true},
        {{10, 0, 22621}, 1554, DefaultAppsPage::GeneralWithAppList, true},
        {{10, 0, 22621}, 1555, DefaultAppsPage::ClientPage, true},
        {{10, 0, 22622}, 9999, DefaultAppsPage::GeneralWithAppList, false},
        {{10, 0, 22631}, 0, DefaultAppsPage::ClientPage, false},
        {{10, 0, 26100}, 0, DefaultAppsPage::ClientPage, false},
        {{11, 0, 100}, 0, DefaultAppsPage::ClientPage, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.version.major) + "." + std::to_string(c.version.minor) + "." +
                     std::to_string(c.version.build) + "." + std::to_string(c.revision));
        bool asked = false;
        EXPECT_EQ(platform::DefaultAppsPageOf(c.version,
                                              [&] {
                                                  asked = true;
                                                  return c.revision;
                                              }),
                  c.page);
        EXPECT_EQ(asked, c.revisionAsked);
    }
}

}  // namespace

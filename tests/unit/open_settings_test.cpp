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

TEST_F(OpenSettingsTest, WithoutSettingsDefaultProgramsOrTheWayByHand) {
    const std::wstring failed =
        L"Failed to open Settings: ms-settings:defaultapps?registeredAppUser=Foo%20Bar\n";
    const struct {
        const char* id;  // Windows 7 and 8, then a shell that opens neither
        bool defaultProgramsOpens;
        int status;
        std::wstring lines;
    } cases[] = {
        {"default-programs", true, 0,
         failed + L"Opened Control Panel > Default Programs for Foo Bar instead.\n"},
        {"by-hand", false, 2,
         failed + L"Foo Bar is registered under HKCU; choose it by hand in Control Panel > "
                  L"Default Programs on Windows 7 and 8, or in Settings > Apps > Default apps "
                  L"on later versions.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        PutApplication(RootKey::CurrentUser, L"Foo Bar");
        test_platform::RefuseToOpen();
        if (!c.defaultProgramsOpens) {
            test_platform::RefuseDefaultPrograms();
        }
        const CommandResult result = RunCommand({L"settings", L"HKCU", L"Foo Bar"});
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.output, c.lines);
        EXPECT_EQ(test_platform::DefaultProgramsOpened(), std::vector<std::wstring>{L"Foo Bar"});
    }
}

}  // namespace

// The listing of registered browser clients, on stores shaped as Marovendel
// and other browsers leave them.
#include <functional>

#include "support/run_command.h"

namespace {

using registry::memory::FailOperation;
using registry::memory::Op;
using registry::memory::PutKey;
using registry::memory::PutString;
using registry::memory::PutValue;

const std::wstring kClients = L"SOFTWARE\\Clients\\StartMenuInternet\\";

// A client as browsers register it: open command and, unless null, the URL
// associations.
void PutClient(RootKey root, const std::wstring& name, const std::wstring& command,
               const wchar_t* http, const wchar_t* https) {
    PutString(root, kClients + name + L"\\shell\\open\\command", nullptr, command);
    PutKey(root, kClients + name + L"\\Capabilities\\URLAssociations");
    if (http != nullptr) {
        PutString(root, kClients + name + L"\\Capabilities\\URLAssociations", L"http", http);
    }
    if (https != nullptr) {
        PutString(root, kClients + name + L"\\Capabilities\\URLAssociations", L"https", https);
    }
}

class ListBrowsersTest : public CommandTest {};

TEST_F(ListBrowsersTest, ListsBothRootsHklmFirstAndSkipsInternetExplorer) {
    PutKey(RootKey::LocalMachine, kClients + L"IEXPLORE.EXE\\shell\\open\\command");
    PutClient(RootKey::LocalMachine, L"Firefox", L"\"C:\\Program Files\\Firefox\\firefox.exe\"",
              L"FirefoxURL", L"FirefoxHTML");
    PutKey(RootKey::CurrentUser, kClients + L"iexplore.exe");
    RunCommand({L"HKCU", L"Foo", L"C:\\Apps\\Foo\\foo.exe"});
    const std::wstring hklm =
        L"\nHKLM \"Firefox\"\n"
        L"  \"C:\\Program Files\\Firefox\\firefox.exe\"\n"
        L"  http: FirefoxURL\n"
        L"  https: FirefoxHTML\n";
    const std::wstring hkcu =
        L"\nHKCU \"Foo\"\n"
        L"  C:\\Apps\\Foo\\foo.exe\n"
        L"  http/https: FooURL\n";
    const struct {
        std::vector<std::wstring> words;
        std::wstring output;
    } cases[] = {
        {{L"list"}, hklm + hkcu},
        {{L"list", L"foo"}, hklm + hkcu},
        {{L"LIST", L"hkcu"}, hkcu},
        {{L"x", L"list", L"HKLM"}, hklm},
        {{L"list", L"HKCU", L"HKLM"}, hkcu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.words));
        CommandResult result = RunCommand(c.words);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, c.output);
    }
}

TEST_F(ListBrowsersTest, AssociationsPrintOnceWhenEqualIgnoringCase) {
    // 255 characters and the terminator fill the 512 bytes an association is
    // read into; one more does not fit.
    const std::wstring fits(255, L'u');
    const std::wstring over(256, L'u');
    const struct {
        const char* id;
        const wchar_t* http;
        const wchar_t* https;
        std::wstring lines;
    } cases[] = {
        {"same-ignoring-case", L"FooURL", L"fooURL", L"  http/https: FooURL\n"},
        {"non-ascii-case-differs", L"\u00c9URL", L"\u00e9URL",
         L"  http: \u00c9URL\n  https: \u00e9URL\n"},
        {"differ", L"A", L"B", L"  http: A\n  https: B\n"},
        {"https-missing", L"A", nullptr, L"  http: A\n  https: [Not found]\n"},
        {"both-missing", nullptr, nullptr, L"  http: [Not found]\n  https: [Not found]\n"},
        {"longest-that-fits", fits.c_str(), fits.c_str(), L"  http/https: " + fits + L"\n"},
        {"https-too-long", fits.c_str(), over.c_str(), L"  http: " + fits + L"\n  https: [Not found]\n"},
        {"http-too-long", over.c_str(), fits.c_str(), L"  http: [Not found]\n  https: " + fits + L"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        PutClient(RootKey::LocalMachine, L"B", L"b.exe", c.http, c.https);
        EXPECT_EQ(RunCommand({L"list", L"HKLM"}).output, std::wstring(L"\nHKLM \"B\"\n  b.exe\n") + c.lines);
    }
}

TEST_F(ListBrowsersTest, MissingTooLongOrForeignValuesShowAsNotFound) {
    const std::wstring caps = kClients + L"B\\Capabilities\\URLAssociations";
    const std::wstring command = kClients + L"B\\shell\\open\\command";
    const struct {
        const char* id;
        std::function<void()> seed;
        const wchar_t* lines;
    } cases[] = {
        {"no-capabilities", [&] { PutString(RootKey::LocalMachine, command, nullptr, L"b.exe"); },
         L"  b.exe\n  [Capabilities\\URLAssociations not found]\n"},
        {"no-command-key", [&] { PutKey(RootKey::LocalMachine, caps); },
         L"  [Path not found]\n  http: [Not found]\n  https: [Not found]\n"},
        {"command-1023-chars", [&] {
             PutString(RootKey::LocalMachine, command, nullptr, std::wstring(1023, L'c'));
             PutKey(RootKey::LocalMachine, caps);
         }, nullptr},
        {"command-1024-chars", [&] {
             PutString(RootKey::LocalMachine, command, nullptr, std::wstring(1024, L'c'));
             PutKey(RootKey::LocalMachine, caps);
         }, L"  [Path not found]\n  http: [Not found]\n  https: [Not found]\n"},
        {"no-terminator-and-dword", [&] {
             PutValue(RootKey::LocalMachine, command, nullptr, registry::kRegSz, {'b', 0, '!', 0});
             registry::memory::PutDword(RootKey::LocalMachine, caps, L"http", 7);
             PutValue(RootKey::LocalMachine, caps, L"https", registry::kRegSz, {'X', 0, 'Y'});
         }, L"  b!\n  http: [Not found]\n  https: X\n"},
        {"binary-and-multi-string", [&] {
             registry::memory::PutDword(RootKey::LocalMachine, command, nullptr, 1);
             PutValue(RootKey::LocalMachine, caps, L"http", registry::kRegBinary, {'U', 0, 0, 0});
             PutValue(RootKey::LocalMachine, caps, L"https", registry::kRegMultiSz, {'U', 0, 0, 0, 0, 0});
         }, L"  [Path not found]\n  http: [Not found]\n  https: [Not found]\n"},
        {"expandable-string", [&] {
             PutString(RootKey::LocalMachine, command, nullptr, L"%ProgramFiles%\\b.exe", registry::kRegExpandSz);
             PutKey(RootKey::LocalMachine, caps);
         }, L"  %ProgramFiles%\\b.exe\n  http: [Not found]\n  https: [Not found]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        SetUp();
        c.seed();
        const std::wstring lines =
            c.lines ? c.lines : L"  " + std::wstring(1023, L'c') + L"\n  http: [Not found]\n  https: [Not found]\n";
        EXPECT_EQ(RunCommand({L"list", L"HKLM"}).output, L"\nHKLM \"B\"\n" + lines);
    }
}

TEST_F(ListBrowsersTest, NamesTooLongForTheirPathsAreListedWithoutReading) {
    // 201 characters still fit the command path (54 + 201), not the
    // associations path (64 + 201); 255 fits neither. Lengths count UTF-16
    // units: 96 characters outside the BMP take 192.
    std::wstring astral;
    for (int i = 0; i < 96; ++i) {
        astral += L"\U0001F310";
    }
    const struct {
        std::wstring name;
        bool pathFits;
        bool urlsFit;
    } cases[] = {
        {std::wstring(191, L'n'), true, true},
        {std::wstring(192, L'n'), true, false},
        {std::wstring(201, L'n'), true, false},
        {std::wstring(202, L'n'), false, false},
        {std::wstring(255, L'n'), false, false},
        {astral, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(registry::Utf16Length(c.name));
        SetUp();
        PutClient(RootKey::LocalMachine, c.name, L"b.exe", L"U", L"U");
        const std::wstring path = c.pathFits ? L"  b.exe\n" : L"  [Path not found]\n";
        const std::wstring urls =
            c.urlsFit ? L"  http/https: U\n" : L"  [Capabilities\\URLAssociations not found]\n";
        EXPECT_EQ(RunCommand({L"list", L"HKLM"}).output, L"\nHKLM \"" + c.name + L"\"\n" + path + urls);
    }
}

TEST_F(ListBrowsersTest, MissingRootsAndEmptyRootsPrintOnlyWhatTheyMust) {
    registry::memory::Reset();
    EXPECT_EQ(RunCommand({L"list"}).output,
              L"Failed to open HKLM\\SOFTWARE\\Clients\\StartMenuInternet\n"
              L"Failed to open HKCU\\SOFTWARE\\Clients\\StartMenuInternet\n");
    PutKey(RootKey::LocalMachine, kClients + L"IEXPLORE.EXE");
    PutKey(RootKey::CurrentUser, kClients + L"IExplore.exe");
    CommandResult result = RunCommand({L"list"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, L"");
}

TEST_F(ListBrowsersTest, AFailingEnumerationEndsThePassAndTheOtherRootIsListed) {
    PutClient(RootKey::LocalMachine, L"A", L"a.exe", L"U", L"U");
    PutClient(RootKey::LocalMachine, L"B", L"b.exe", L"U", L"U");
    PutClient(RootKey::LocalMachine, L"D", L"d.exe", L"U", L"U");
    PutClient(RootKey::CurrentUser, L"C", L"c.exe", L"U", L"U");
    // B's index fails; D after it is not listed.
    FailOperation(Op::EnumKey, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\StartMenuInternet",
                  registry::kAccessDenied, 2);
    CommandResult result = RunCommand({L"list"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              L"\nHKLM \"A\"\n  a.exe\n  http/https: U\n"
              L"Failed to enumerate HKLM\\SOFTWARE\\Clients\\StartMenuInternet\n"
              L"\nHKCU \"C\"\n  c.exe\n  http/https: U\n");
    // A failure that would repeat at every index still ends.
    SetUp();
    PutClient(RootKey::CurrentUser, L"C", L"c.exe", L"U", L"U");
    FailOperation(Op::EnumKey, L"StartMenuInternet", registry::kMoreData);
    EXPECT_EQ(RunCommand({L"list", L"HKCU"}).output,
              L"Failed to enumerate HKCU\\SOFTWARE\\Clients\\StartMenuInternet\n");
}

}  // namespace

// Every registry and file operation a command makes is made to fail, one at
// a time. Whatever fails, the command must end with every key and file
// closed, say what failed, print only its own messages, and a removal must
// never lose data: either nothing changed, or the backup restores exactly
// what was deleted. A registration or removal that did not do all of its
// work must also end with status 2, and a reading command must never hide a
// failure.
#include <algorithm>
#include <cwctype>
#include <regex>
#include <sstream>

#include "support/program_file.h"
#include "support/reg_reader.h"
#include "support/run_command.h"

namespace {

using registry::memory::OperationRecord;
using test_platform::FileOperationRecord;

const std::wstring kClientPath = L"SOFTWARE\\Clients\\StartMenuInternet\\Foo";
const std::wstring kClassPath = L"SOFTWARE\\Classes\\FooURL";
const std::wstring kBackup = L"C:\\Tools\\Foo.reg";
const std::wstring kFooExe = L"C:\\Apps\\Foo\\foo.exe";
// Where a removal writes its backup beside the earlier one of another Foo.
const std::wstring kNewBackup = L"C:\\Tools\\Foo (2).reg";
const std::vector<std::uint8_t> kEarlierBackup = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

// Every line the program can print; %ls stands for any text.
const wchar_t* const kMessages[] = {
    // registration and its readback
    L"Failed to create registry key for the browser.",
    L"Failed to create command subkey.",
    L"Failed to open RegisteredApplications key.",
    L"Failed to create Capabilities key.",
    L"Failed to create FileAssociations subkey.",
    L"Failed to create URLAssociations subkey.",
    L"Failed to create ProgID key.",
    L"Failed to create DefaultIcon subkey.",
    L"Failed to create shell\\open\\command subkey.",
    L"Failed to write value %ls.",
    L"Failed to delete value %ls.",
    L"Portable browser registered successfully.",
    L"Portable browser registration incomplete.",
    L"Capabilities: [Not found]",
    L"http/https: %ls",
    // listing
    L"",
    L"HKLM \"%ls\"",
    L"HKCU \"%ls\"",
    L"Failed to open HKLM\\SOFTWARE\\Clients\\StartMenuInternet",
    L"Failed to open HKCU\\SOFTWARE\\Clients\\StartMenuInternet",
    L"Failed to enumerate HKLM\\SOFTWARE\\Clients\\StartMenuInternet",
    L"Failed to enumerate HKCU\\SOFTWARE\\Clients\\StartMenuInternet",
    L"  %ls",
    // removal
    L"Successfully exported registry keys to %ls",
    L"Failed to export registry keys to %ls",
    L"Failed to create export file: %ls",
    L"Nothing to export for %ls.",
    L"Successfully deleted browser registry key: %ls",
    L"Failed to delete browser registry key: %ls",
    L"Successfully deleted browser from RegisteredApplications: %ls",
    L"Failed to delete browser from RegisteredApplications: %ls",
    // settings and check (whose problem lines are indented like the listing's)
    L"%ls is not registered under HKCU.",
    L"Opened Settings > Default apps for %ls.",
    L"Failed to open Settings: %ls",
    L"Opened Control Panel > Default Programs for %ls instead.",
    L"This Windows opens the general page: %ls",
    (L"%ls is registered under HKCU; choose it by hand in Control Panel > Default Programs on "
     L"Windows 7 and 8, or in Settings > Apps > Default apps on later versions."),
    L"%ls is registered correctly under HKCU.",
    L"%ls problem(s) under HKCU; register it again to repair.",
    L"Successfully deleted browser class key: %ls",
    L"The registration of %ls under HKCU could not be read, so nothing was changed.",
    (L"The browsers registered under HKCU could not all be read, so one inside the package of %ls "
     L"may still be registered."),
    L"Failed to delete browser class key: %ls",
    // -all
    L"Failed to create key %ls.",
    L"Failed to read the file types in %ls.",
    L"Successfully deleted FooURL from %ls.",
    L"Failed to delete FooURL from %ls.",
    // repair
    L"Foo: C:\\Apps\\Foo\\foo.exe is now G:\\Apps\\Foo\\foo.exe%ls",
    L"Foo was not repaired: %ls values could not be written; C:\\Tools\\Foo (2).reg restores "
    L"them as they were.",
    L"Foo was not repaired: %ls values could not be written, and no backup was made.",
    L"Failed to write %ls.",
    L"Foo: nothing was changed, as its backup could not be written.",
    L"%ls has problems repair does not mend; Marovendel.exe check HKCU Foo names them.",
    L"Other has problems repair does not mend; Marovendel.exe check HKCU Other names them.",
    L"The browsers registered under HKCU could not all be read.",
    L"The registration of Foo under HKCU could not be read, so nothing was changed.",
    // check's lines on what Windows opens now
    L"Windows opens %ls.",
    L"What Windows opens %ls.",
    L"%ls opens its Default apps page.",
};

bool IsOwnMessage(const std::wstring& line) {
    for (const wchar_t* message : kMessages) {
        const std::wstring pattern = message;
        const std::size_t hole = pattern.find(L"%ls");
        if (hole == std::wstring::npos ? line == pattern
                                       : line.size() >= pattern.size() - 3 &&
                                             line.compare(0, hole, pattern, 0, hole) == 0 &&
                                             line.compare(line.size() - (pattern.size() - hole - 3),
                                                          std::wstring::npos, pattern, hole + 3,
                                                          std::wstring::npos) == 0) {
            return true;
        }
    }
    return false;
}

::testing::AssertionResult OnlyOwnMessages(const std::wstring& output) {
    if (!output.empty() && output.back() != L'\n') {
        return ::testing::AssertionFailure() << "output does not end with a line feed";
    }
    std::wistringstream lines(output);
    std::wstring line;
    while (std::getline(lines, line)) {
        if (!IsOwnMessage(line)) {
            return ::testing::AssertionFailure()
                   << "not one of the program's messages: " << testing::PrintToString(line);
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<std::uint8_t>(v));
    }
    return bytes;
}

// A store with a full registration of Foo and of another client, foreign
// values of every kind in Foo's tree, and an earlier backup of Foo.
void Seed() {
    using namespace registry::memory;
    Reset();
    test_platform::Reset();
    PutKey(RootKey::CurrentUser, L"Software\\RegisteredApplications");
    PutKey(RootKey::LocalMachine, L"Software\\RegisteredApplications");
    PutKey(RootKey::LocalMachine, L"Software\\Clients\\StartMenuInternet\\IEXPLORE.EXE");
    RunCommand({L"HKCU", L"Foo", L"C:\\Apps\\Foo\\foo.exe", L"-all"});
    RunCommand({L"HKCU", L"Other", L"C:\\Other\\other.exe"});
    // A type added to Foo's associations by hand, and another program's
    // place on the same Open with list.
    PutString(RootKey::CurrentUser, kClientPath + L"\\Capabilities\\FileAssociations", L".mht",
              L"FooURL");
    PutValue(RootKey::CurrentUser, L"Software\\Classes\\.mht\\OpenWithProgids", L"FooURL",
             registry::kRegNone, {});
    PutValue(RootKey::CurrentUser, L"Software\\Classes\\.pdf\\OpenWithProgids", L"Reader.pdf",
             registry::kRegNone, {});
    const std::wstring caps = kClientPath + L"\\Capabilities";
    PutString(RootKey::CurrentUser, caps, L"Quote \"and\" \\slash", L"C:\\x \"y\" \u00e9\u65e5");
    PutString(RootKey::CurrentUser, caps, L"Lines", L"one\r\ntwo");
    PutString(RootKey::CurrentUser, caps, L"Expand", L"%SystemRoot%\\x.exe", registry::kRegExpandSz);
    PutValue(RootKey::CurrentUser, caps, L"Multi", registry::kRegMultiSz,
             Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
    PutValue(RootKey::CurrentUser, caps, L"Binary", registry::kRegBinary,
             std::vector<std::uint8_t>(1500, 0xA5));
    PutDword(RootKey::CurrentUser, caps, L"Number", 255);
    PutValue(RootKey::CurrentUser, caps, L"Big", registry::kRegQword, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    PutValue(RootKey::CurrentUser, caps, L"NoTerminator", registry::kRegSz, Bytes({'h', 0, 'i', 0}));
    PutString(RootKey::CurrentUser, caps, L"Long", std::wstring(600, L'L'));
    PutKey(RootKey::CurrentUser, kClientPath + L"\\Empty");
    PutString(RootKey::CurrentUser, kClientPath + L"\\Deep\\Deeper", nullptr, L"deep");
    PutString(RootKey::CurrentUser, kClassPath, L"URL Protocol", L"");
    PutDword(RootKey::CurrentUser, kClassPath, L"EditFlags", 2);
    PutString(RootKey::CurrentUser, kClassPath + L"\\Application", L"ApplicationName", L"F\u00f6\u00f6");
    test_platform::PutFile(kBackup, kEarlierBackup);
    // A windowed program, so that Foo checks clean and can be dropped.
    test_platform::PutFile(kFooExe, test_program::Program());
    ClearFaultsAndCounters();
    test_platform::ClearFileFaultsAndCounters();
    test_platform::ClearOutput();
}

struct Registration {
    std::wstring tree;
    std::optional<registry::ValueData> application;
    std::wstring classTree;
    std::wstring openWith;  // Foo's OpenWithProgids values, each type and bytes
};

Registration RegistrationInStore() {
    std::wstring openWith;
    for (const wchar_t* type : {L".htm", L".html", L".shtml", L".xht", L".xhtml", L".svg", L".webp",
                                L".avif", L".pdf", L".mht"}) {
        const std::wstring path = L"SOFTWARE\\Classes\\" + std::wstring(type) + L"\\OpenWithProgids";
        const auto value = registry::memory::StoredValue(RootKey::CurrentUser, path, L"FooURL");
        openWith += std::wstring(type) + (value ? L" type " + std::to_wstring(value->type) + L" bytes " +
                                                      std::to_wstring(value->bytes.size())
                                                : std::wstring(L" none")) + L"\n";
    }
    return Registration{
        registry::memory::DumpTree(RootKey::CurrentUser, kClientPath),
        registry::memory::StoredValue(RootKey::CurrentUser, L"SOFTWARE\\RegisteredApplications",
                                      L"Foo"),
        registry::memory::DumpTree(RootKey::CurrentUser, kClassPath), openWith};
}

// What a command's backup must restore: the client tree and its
// RegisteredApplications value always, the class tree when it removes or
// rewrites that too, and the Open with values when it removes them.
enum class BackupCheck { None, Client, ClientAndClass, ClientAndClassTree };

// Applies backup to an empty store and answers whether it holds exactly the
// registration that was removed.
::testing::AssertionResult Restores(const std::vector<std::uint8_t>& backup,
                                    const Registration& expected, BackupCheck check) {
    registry::memory::Reset();
    std::string error;
    if (!reg_reader::ApplyRegFile(backup, error)) {
        return ::testing::AssertionFailure() << "backup does not read back: " << error;
    }
    Registration restored = RegistrationInStore();
    if (restored.tree != expected.tree) {
        return ::testing::AssertionFailure()
               << "restored tree differs:\n" << testing::PrintToString(restored.tree) << "\nexpected\n"
               << testing::PrintToString(expected.tree);
    }
    const bool sameValue = restored.application.has_value() == expected.application.has_value() &&
                           (!restored.application ||
                            (restored.application->type == expected.application->type &&
                             restored.application->bytes == expected.application->bytes));
    if (!sameValue) {
        return ::testing::AssertionFailure() << "RegisteredApplications value not restored";
    }
    const bool withClass = check == BackupCheck::ClientAndClass || check == BackupCheck::ClientAndClassTree;
    if (withClass && restored.classTree != expected.classTree) {
        return ::testing::AssertionFailure()
               << "restored class differs:\n" << testing::PrintToString(restored.classTree)
               << "\nexpected\n" << testing::PrintToString(expected.classTree);
    }
    if (check == BackupCheck::ClientAndClass && restored.openWith != expected.openWith) {
        return ::testing::AssertionFailure()
               << "restored Open with values differ:\n" << testing::PrintToString(restored.openWith)
               << "\nexpected\n" << testing::PrintToString(expected.openWith);
    }
    return ::testing::AssertionSuccess();
}

struct Baseline {
    CommandResult result;
    std::vector<OperationRecord> registryOps;
    std::vector<FileOperationRecord> fileOps;
};

// A store seeded for repair: Foo's program has gone from C: to G:, and
// Other's is where its registration says.
void SeedMovedFoo() {
    Seed();
    platform::RemoveFile(kFooExe);
    test_platform::PutFile(L"G:\\Apps\\Foo\\foo.exe", test_program::Program());
    test_platform::PutFile(L"C:\\Other\\other.exe", test_program::Program());
    test_platform::SetLogicalDriveLetters(L"CG");
    test_platform::ClearFileFaultsAndCounters();
}

Baseline RunBaseline(const std::vector<std::wstring>& words, void (*seed)()) {
    seed();
    Baseline baseline;
    baseline.result = RunCommand(words);
    baseline.registryOps = registry::memory::OperationLog();
    baseline.fileOps = test_platform::FileOperationLog();
    return baseline;
}

// What users rely on once something failed, beyond what every command owes.
enum class Rule {
    Registration,  // a failed create, write or delete: status 2 and the incomplete line
    Removal,       // any failure: status 2 (repair too)
    Reading,       // any failure shows in the output, and never as a clean check
};

bool ChangesTheRegistry(registry::memory::Op op) {
    using registry::memory::Op;
    return op == Op::Create || op == Op::SetValue || op == Op::DeleteTree || op == Op::DeleteValue;
}

struct SweepCount {
    std::size_t operations = 0;  // K: registry and file operations of one run
    std::size_t sweeps = 0;      // runs with one operation failed
};

// Runs words once per operation of the baseline that succeeded, with that
// operation made to fail, and checks what every command must uphold.
SweepCount Sweep(const std::vector<std::wstring>& words, Rule rule, BackupCheck check,
                 void (*seed)()) {
    const Baseline baseline = RunBaseline(words, seed);
    SweepCount count;
    count.operations = baseline.registryOps.size() + baseline.fileOps.size();
    const std::size_t total = count.operations;
    for (std::size_t k = 1; k <= total; ++k) {
        const bool onRegistry = k <= baseline.registryOps.size();
        const std::size_t n = onRegistry ? k : k - baseline.registryOps.size();
        const bool succeeded = onRegistry ? baseline.registryOps[n - 1].status == registry::kSuccess
                                          : baseline.fileOps[n - 1].succeeded;
        if (!succeeded) {
            continue;  // failing it again changes nothing
        }
        if (!onRegistry && baseline.fileOps[n - 1].op == test_platform::FileOp::Read) {
            continue;  // an earlier backup that cannot be read is kept, and the next name taken
        }
        SCOPED_TRACE(testing::PrintToString(
            (onRegistry ? L"registry operation " : L"file operation ") + std::to_wstring(n) + L" on " +
            (onRegistry ? baseline.registryOps[n - 1].path : baseline.fileOps[n - 1].path)));
        seed();
        const Registration before = RegistrationInStore();
        const std::wstring storeBefore = registry::memory::Dump();
        std::vector<std::wstring> seededFiles = test_platform::FilePaths();
        if (onRegistry) {
            registry::memory::FailOperationNumber(n);
        } else {
            test_platform::FailFileOperationNumber(n);
        }
        const CommandResult result = RunCommand(words);
        ++count.sweeps;

        EXPECT_TRUE(result.status == 0 || result.status == 1 || result.status == 2) << result.status;
        EXPECT_EQ(registry::memory::OpenKeyCount(), 0u);
        EXPECT_EQ(test_platform::OpenFileCount(), 0u);
        EXPECT_TRUE(OnlyOwnMessages(result.output));
        EXPECT_FALSE(result.status == 0 && result.output == baseline.result.output)
            << "a failure passed unreported";
        const bool aChange = onRegistry && ChangesTheRegistry(baseline.registryOps[n - 1].op);
        if (rule == Rule::Registration && aChange) {
            EXPECT_EQ(result.status, 2);
            EXPECT_NE(result.output.find(L"Portable browser registration incomplete.\n"),
                      std::wstring::npos) << testing::PrintToString(result.output);
        }
        if (rule == Rule::Removal) {
            EXPECT_EQ(result.status, 2);
        }
        if (rule == Rule::Reading) {
            EXPECT_NE(result.output, baseline.result.output) << "a failure left no trace";
            EXPECT_EQ(result.output.find(L"registered correctly"), std::wstring::npos);
        }
        if (check == BackupCheck::None) {
            continue;
        }
        EXPECT_EQ(test_platform::FileContents(kBackup), kEarlierBackup) << "a backup was replaced";
        const std::optional<std::vector<std::uint8_t>> backup = test_platform::FileContents(kNewBackup);
        const bool storeChanged = registry::memory::Dump() != storeBefore;
        EXPECT_FALSE(storeChanged && !backup) << "deleted without a backup";
        if (backup) {
            EXPECT_TRUE(Restores(*backup, before, check));
        }
        if (backup) {
            seededFiles.push_back(kNewBackup);
            std::sort(seededFiles.begin(), seededFiles.end());
        }
        EXPECT_EQ(test_platform::FilePaths(), seededFiles) << "a temporary file was left behind";
    }
    return count;
}

class FaultSweepTest : public CommandTest {};

TEST_F(FaultSweepTest, EveryFailingOperationIsSurvivedAndReported) {
    const struct {
        const char* id;
        std::vector<std::wstring> words;
        Rule rule;
        BackupCheck check;
        void (*seed)() = Seed;
    } commands[] = {
        {"register", {L"HKCU", L"Foo", L"C:\\New\\foo.exe"}, Rule::Registration, BackupCheck::None},
        {"register-all", {L"HKCU", L"Foo", L"C:\\New\\foo.exe", L"-all"}, Rule::Registration,
         BackupCheck::None},
        {"drop", {kFooExe}, Rule::Registration, BackupCheck::None},
        {"list", {L"list"}, Rule::Reading, BackupCheck::None},
        {"delete", {L"delete", L"HKCU", L"Foo"}, Rule::Removal, BackupCheck::Client},
        {"delete-nobackup", {L"delete", L"HKCU", L"Foo", L"-nobackup"}, Rule::Removal, BackupCheck::None},
        {"delete-all", {L"delete", L"HKCU", L"Foo", L"-all"}, Rule::Removal, BackupCheck::ClientAndClass},
        {"delete-all-nobackup", {L"delete", L"HKCU", L"Foo", L"-all", L"-nobackup"}, Rule::Removal,
         BackupCheck::None},
        {"settings", {L"settings", L"HKCU", L"Foo"}, Rule::Reading, BackupCheck::None},
        {"check", {L"check", L"HKCU", L"Foo"}, Rule::Reading, BackupCheck::None},
        {"repair", {L"repair"}, Rule::Removal, BackupCheck::ClientAndClassTree, SeedMovedFoo},
        {"repair-nobackup", {L"repair", L"-nobackup"}, Rule::Removal, BackupCheck::None,
         SeedMovedFoo},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.id);
        const SweepCount count = Sweep(command.words, command.rule, command.check, command.seed);
        EXPECT_GT(count.sweeps, 0u);
        RecordProperty(std::string("operations_") + command.id, static_cast<int>(count.operations));
        RecordProperty(std::string("sweeps_") + command.id, static_cast<int>(count.sweeps));
        std::printf("fault sweep %s: K=%zu operations, %zu runs with one failed\n", command.id,
                    count.operations, count.sweeps);
    }
    Seed();  // leave a clean store for the fixture's checks
}

TEST_F(FaultSweepTest, TheRemovalBaselineRestoresThroughTheReader) {
    Seed();
    const Registration before = RegistrationInStore();
    CommandResult result = RunCommand({L"delete", L"HKCU", L"Foo"});
    EXPECT_EQ(result.status, 0) << testing::PrintToString(result.output);
    EXPECT_FALSE(registry::memory::HasKey(RootKey::CurrentUser, kClientPath));
    EXPECT_TRUE(Restores(*test_platform::FileContents(kNewBackup), before, BackupCheck::Client));

    Seed();
    result = RunCommand({L"delete", L"HKCU", L"Foo", L"-all"});
    EXPECT_EQ(result.status, 0) << testing::PrintToString(result.output);
    EXPECT_FALSE(registry::memory::HasKey(RootKey::CurrentUser, kClassPath));
    EXPECT_NE(before.classTree.find(L"EditFlags"), std::wstring::npos);
    EXPECT_EQ(before.openWith.find(L"none"), std::wstring::npos) << "seeded with -all";
    EXPECT_EQ(RegistrationInStore().openWith.find(L"type"), std::wstring::npos);
    EXPECT_TRUE(registry::memory::StoredValue(RootKey::CurrentUser,
                                              L"Software\\Classes\\.pdf\\OpenWithProgids",
                                              L"Reader.pdf"));
    EXPECT_TRUE(Restores(*test_platform::FileContents(kNewBackup), before, BackupCheck::ClientAndClass));

    // So does repair's, which the sweep relies on doing its work.
    SeedMovedFoo();
    const Registration moved = RegistrationInStore();
    result = RunCommand({L"repair"});
    EXPECT_EQ(result.output, L"Foo: C:\\Apps\\Foo\\foo.exe is now G:\\Apps\\Foo\\foo.exe; backup in " +
                                 kNewBackup + L"\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(Restores(*test_platform::FileContents(kNewBackup), moved,
                         BackupCheck::ClientAndClassTree));
    Seed();
}

TEST(RegReaderTest, ReadsEveryFormAndRefusesBrokenFiles) {
    registry::memory::Reset();
    const std::wstring text =
        L"Windows Registry Editor Version 5.00\r\n\r\n"
        L"[HKEY_LOCAL_MACHINE\\A\\B]\r\n"
        L"@=\"d \\\"q\\\" \\\\\"\r\n"
        L"\"n\\\"x\"=dword:000000ff\r\n"
        L"\"h\"=hex(2):25,00,41,00,\\\r\n"
        L"  25,00,00,00\r\n"
        L"\"e\"=hex:\r\n\r\n"
        L"[HKEY_CURRENT_USER\\Empty]\r\n";
    std::vector<std::uint8_t> file = {0xFF, 0xFE};
    std::vector<std::uint8_t> body = registry::ToUtf16Bytes(text);
    file.insert(file.end(), body.begin(), body.end());
    std::string error;
    ASSERT_TRUE(reg_reader::ApplyRegFile(file, error)) << error;
    EXPECT_EQ(*registry::memory::StoredString(RootKey::LocalMachine, L"A\\B", nullptr), L"d \"q\" \\");
    EXPECT_EQ(registry::memory::StoredValue(RootKey::LocalMachine, L"A\\B", L"n\"x")->bytes,
              Bytes({0xFF, 0, 0, 0}));
    auto expand = registry::memory::StoredValue(RootKey::LocalMachine, L"A\\B", L"h");
    EXPECT_EQ(expand->type, registry::kRegExpandSz);
    EXPECT_EQ(expand->bytes, Bytes({0x25, 0, 0x41, 0, 0x25, 0, 0, 0}));
    EXPECT_TRUE(registry::memory::StoredValue(RootKey::LocalMachine, L"A\\B", L"e")->bytes.empty());
    EXPECT_TRUE(registry::memory::HasKey(RootKey::CurrentUser, L"Empty"));

    const char* broken[] = {
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n",   // LF line ends
        "REGEDIT4\r\n\r\n",
        "Windows Registry Editor Version 5.00\r\n\r\n\"v\"=\"x\"\r\n",        // no section
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:1,2\r\n",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"b\"=\"x\"\r\n",
    };
    for (const char* sample : broken) {
        SCOPED_TRACE(sample);
        std::string bytes = sample;
        EXPECT_FALSE(reg_reader::ApplyRegFile(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), error));
    }
}

}  // namespace

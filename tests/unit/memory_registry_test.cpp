// The in-memory registry must behave like the real one wherever the commands
// depend on it, or the command tests prove nothing.
#include <gtest/gtest.h>

#include "support/memory_registry.h"

using namespace registry;

namespace {

class MemoryRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { memory::Reset(); }
    void TearDown() override { EXPECT_EQ(memory::OpenKeyCount(), 0u); }
};

TEST_F(MemoryRegistryTest, NamesIgnoreCaseAndCreateMakesParents) {
    {
        Key key;
        ASSERT_EQ(CreateKey(RootKey::CurrentUser, L"Software\\A\\B", key), kSuccess);
        EXPECT_EQ(SetString(key, L"Name", L"one"), kSuccess);
        EXPECT_EQ(SetString(key, L"NAME", L"two"), kSuccess);
        EXPECT_EQ(memory::OpenKeyCount(), 1u);
    }
    EXPECT_TRUE(memory::HasKey(RootKey::CurrentUser, L"SOFTWARE\\a"));
    EXPECT_FALSE(memory::HasKey(RootKey::LocalMachine, L"Software\\A"));
    Key key;
    ASSERT_EQ(OpenKey(RootKey::CurrentUser, L"software\\a\\b", Access::Read, key), kSuccess);
    ValueData data;
    ASSERT_EQ(QueryValue(key, L"name", 64, data), kSuccess);
    EXPECT_EQ(data.type, kRegSz);
    EXPECT_EQ(data.bytes.size(), 8u) << "three characters and the terminator, in UTF-16";
    EXPECT_EQ(StringFromBytes(data.bytes), L"two");
    EXPECT_EQ(OpenKey(RootKey::CurrentUser, L"Software\\Missing", Access::Read, key),
              kFileNotFound);
}

TEST_F(MemoryRegistryTest, QueryLargerThanBufferFailsAndAccessIsChecked) {
    memory::PutString(RootKey::CurrentUser, L"K", L"v", L"abc");  // 8 bytes
    Key reader;
    ASSERT_EQ(OpenKey(RootKey::CurrentUser, L"K", Access::Read, reader), kSuccess);
    ValueData data;
    EXPECT_EQ(QueryValue(reader, L"v", 7, data), kMoreData);
    EXPECT_EQ(QueryValue(reader, L"v", 8, data), kSuccess);
    EXPECT_EQ(QueryValue(reader, L"other", 8, data), kFileNotFound);
    EXPECT_EQ(SetString(reader, L"v", L"x"), kAccessDenied);
    Key writer;
    ASSERT_EQ(OpenKey(RootKey::CurrentUser, L"K", Access::Write, writer), kSuccess);
    EXPECT_EQ(QueryValue(writer, L"v", 8, data), kAccessDenied);
}

// An empty path would reach the root itself: RegCreateKeyExW opens it and
// RegDeleteTreeW empties it. The layer refuses both on either backend.
TEST_F(MemoryRegistryTest, AnEmptySubkeyNeverReachesTheRoot) {
    memory::PutString(RootKey::CurrentUser, L"Software\\Keep", nullptr, L"x");
    const std::wstring before = memory::Dump();
    Key key;
    EXPECT_EQ(CreateKey(RootKey::CurrentUser, L"", key), kInvalidParameter);
    EXPECT_EQ(DeleteTree(RootKey::CurrentUser, L""), kInvalidParameter);
    ASSERT_EQ(CreateKey(RootKey::CurrentUser, L"Software", key), kSuccess);
    Key same;
    EXPECT_EQ(CreateKey(key, L"", same), kInvalidParameter);
    EXPECT_FALSE(same.IsOpen());
    EXPECT_EQ(memory::Dump(), before);
}

TEST_F(MemoryRegistryTest, EnumerationIsSortedAndEndsWith259) {
    memory::PutKey(RootKey::CurrentUser, L"P\\beta");
    memory::PutKey(RootKey::CurrentUser, L"P\\Alpha");
    memory::PutKey(RootKey::CurrentUser, L"P\\" + std::wstring(10, L'x'));
    Key key;
    ASSERT_EQ(OpenKey(RootKey::CurrentUser, L"P", Access::Read, key), kSuccess);
    std::wstring name;
    ASSERT_EQ(EnumKey(key, 0, 255, name), kSuccess);
    EXPECT_EQ(name, L"Alpha");
    ASSERT_EQ(EnumKey(key, 1, 255, name), kSuccess);
    EXPECT_EQ(name, L"beta");
    EXPECT_EQ(EnumKey(key, 2, 9, name), kMoreData);
    EXPECT_EQ(EnumKey(key, 3, 255, name), kNoMoreItems);
    KeyInfo info;
    ASSERT_EQ(QueryInfo(key, info), kSuccess);
    EXPECT_EQ(info.subkeyCount, 3u);
    EXPECT_EQ(info.maxSubkeyNameChars, 10u);
}

TEST_F(MemoryRegistryTest, DeleteTreeRemovesSubtreeAndOpenHandlesSeeItGone) {
    memory::PutString(RootKey::CurrentUser, L"A\\B\\C", L"v", L"x");
    memory::PutKey(RootKey::CurrentUser, L"A\\Other");
    Key inside;
    ASSERT_EQ(OpenKey(RootKey::CurrentUser, L"A\\B\\C", Access::Read, inside), kSuccess);
    EXPECT_EQ(DeleteTree(RootKey::CurrentUser, L"a\\b"), kSuccess);
    EXPECT_FALSE(memory::HasKey(RootKey::CurrentUser, L"A\\B"));
    EXPECT_TRUE(memory::HasKey(RootKey::CurrentUser, L"A\\Other"));
    ValueData data;
    EXPECT_EQ(QueryValue(inside, L"v", 64, data), kKeyDeleted);
    EXPECT_EQ(DeleteTree(RootKey::CurrentUser, L"A\\B"), kFileNotFound);
}

TEST_F(MemoryRegistryTest, FaultsHitTheChosenOperation) {
    memory::FailOperation(memory::Op::Create, L"\\Capabilities", kAccessDenied, 2);
    Key key;
    EXPECT_EQ(CreateKey(RootKey::CurrentUser, L"X\\Capabilities", key), kSuccess);
    key.Close();
    EXPECT_EQ(CreateKey(RootKey::CurrentUser, L"Y\\capabilities", key), kAccessDenied);
    EXPECT_EQ(CreateKey(RootKey::CurrentUser, L"Z\\Capabilities", key), kSuccess);
    key.Close();
    const std::uint64_t done = memory::OperationCount();
    EXPECT_EQ(done, 3u);
    memory::FailOperationNumber(done + 2);
    EXPECT_EQ(OpenKey(RootKey::CurrentUser, L"X", Access::Read, key), kSuccess);
    key.Close();
    EXPECT_EQ(OpenKey(RootKey::CurrentUser, L"X", Access::Read, key), kAccessDenied);
    EXPECT_FALSE(key.IsOpen());
}

TEST(Utf16Test, CountsAndConvertsInUtf16Units) {
    // U+1F310 is one wchar_t on Linux and a surrogate pair on Windows; both
    // count and store as the same four UTF-16 units.
    const std::wstring full = sizeof(wchar_t) == 2
                                  ? std::wstring(L"a\u00e9\xD83C\xDF10")
                                  : std::wstring(L"a\u00e9") + static_cast<wchar_t>(0x1F310);
    EXPECT_EQ(Utf16Length(full), 4u);
    std::vector<std::uint8_t> bytes = ToUtf16Bytes(full);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x61, 0, 0xE9, 0, 0x3C, 0xD8, 0x10, 0xDF}));
    EXPECT_EQ(StringFromBytes(bytes), full);
    bytes.push_back(0x41);  // an odd trailing byte is not a character
    EXPECT_EQ(StringFromBytes(bytes), full);
}

}  // namespace

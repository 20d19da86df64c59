// The one string read: which types it takes, how far its buffer grows, and
// where the text ends.
#include <gtest/gtest.h>

#include "support/memory_registry.h"

using namespace registry;

namespace {

TEST(StringValueTest, ReadsAcceptedStringsWholeUpToTheLimit) {
    const std::wstring big(3000, L'x');  // 6002 bytes: beyond the first read
    const std::vector<std::uint8_t> unterminated = ToUtf16Bytes(L"abc");
    const std::vector<std::uint8_t> innerNul = {'a', 0, 0, 0, 'b', 0, 0, 0};
    struct Case {
        const wchar_t* name;  // of the value read; "missing" is never stored
        std::uint32_t accepted;
        std::size_t maxBytes;
        Status status;
        std::wstring text;
    } cases[] = {
        {L"sz", kAcceptAnyString, 512, kSuccess, L"plain"},
        {L"expand", kAcceptAnyString, 512, kSuccess, L"%Path%"},
        {L"expand", kAcceptSz, 512, kUnsupportedType, L""},
        {L"sz", kAcceptExpandSz, 512, kUnsupportedType, L""},
        {L"dword", kAcceptAnyString, 512, kUnsupportedType, L""},
        {L"missing", kAcceptAnyString, 512, kFileNotFound, L""},
        {L"big", kAcceptAnyString, 8192, kSuccess, big},
        {L"big", kAcceptAnyString, 6000, kMoreData, L""},
        {L"unterminated", kAcceptAnyString, 512, kSuccess, L"abc"},
        {L"innerNul", kAcceptAnyString, 512, kSuccess, L"a"},
    };
    memory::Reset();
    const std::wstring path = L"Software\\Values";
    memory::PutString(RootKey::CurrentUser, path, L"sz", L"plain");
    memory::PutString(RootKey::CurrentUser, path, L"expand", L"%Path%", kRegExpandSz);
    memory::PutDword(RootKey::CurrentUser, path, L"dword", 7);
    memory::PutString(RootKey::CurrentUser, path, L"big", big);
    memory::PutValue(RootKey::CurrentUser, path, L"unterminated", kRegSz, unterminated);
    memory::PutValue(RootKey::CurrentUser, path, L"innerNul", kRegSz, innerNul);
    Key key;
    ASSERT_EQ(OpenKey(RootKey::CurrentUser, path, Access::Read, key), kSuccess);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " within " +
                     std::to_string(c.maxBytes));
        std::wstring text;
        EXPECT_EQ(ReadString(key, c.name, c.accepted, c.maxBytes, text), c.status);
        EXPECT_EQ(text, c.text);
    }
}

// The number read: a REG_DWORD of four bytes, nothing else.
TEST(DwordValueTest, ReadsOnlyFourBytesOfDword) {
    memory::Reset();
    const std::wstring path = L"Software\\Numbers";
    memory::PutDword(RootKey::LocalMachine, path, L"UBR", 0xA1B2C3D4u);
    memory::PutValue(RootKey::LocalMachine, path, L"short", kRegDword, {1, 2, 3});
    memory::PutValue(RootKey::LocalMachine, path, L"long", kRegDword, {1, 2, 3, 4, 5});
    memory::PutValue(RootKey::LocalMachine, path, L"qword", kRegQword, {1, 0, 0, 0, 0, 0, 0, 0});
    memory::PutString(RootKey::LocalMachine, path, L"text", L"1555");
    const struct {
        const wchar_t* name;
        Status status;
        std::uint32_t number;  // 99 when not read
    } cases[] = {
        {L"UBR", kSuccess, 0xA1B2C3D4u},       {L"short", kUnsupportedType, 99},
        {L"long", kUnsupportedType, 99},       {L"qword", kUnsupportedType, 99},
        {L"text", kUnsupportedType, 99},       {L"missing", kFileNotFound, 99},
    };
    Key key;
    ASSERT_EQ(OpenKey(RootKey::LocalMachine, path, Access::Read, key), kSuccess);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        std::uint32_t number = 99;
        EXPECT_EQ(ReadDword(key, c.name, number), c.status);
        EXPECT_EQ(number, c.number);
    }
}

}  // namespace

// The registry access layer: the one place in Marovendel that touches the
// registry. Two implementations exist behind these declarations: the Windows
// one (win32_registry.cpp, advapi32), which ships, and an in-memory store that
// only the tests and fuzzers link (tests/support/memory_registry.cpp). Which
// one a program gets is decided when it is linked.
//
// Sizes follow the registry's own units on every platform: names are counted
// in UTF-16 characters and data in bytes of UTF-16, so the same limits hold
// where wchar_t is 2 bytes (Windows) and where it is 4 (Linux).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace registry {

// Win32 status codes; 0 is success.
using Status = long;
constexpr Status kSuccess = 0;
constexpr Status kFileNotFound = 2;     // ERROR_FILE_NOT_FOUND
constexpr Status kAccessDenied = 5;     // ERROR_ACCESS_DENIED
constexpr Status kInvalidParameter = 87;
constexpr Status kMoreData = 234;       // ERROR_MORE_DATA
constexpr Status kNoMoreItems = 259;    // ERROR_NO_MORE_ITEMS
constexpr Status kKeyDeleted = 1018;    // ERROR_KEY_DELETED
constexpr Status kUnsupportedType = 1630;  // ERROR_UNSUPPORTED_TYPE

// The two predefined roots, with their Win32 handle values.
enum class RootKey : std::uint32_t {
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
};

enum class Access {
    Read,   // KEY_READ (0x20019)
    Write,  // KEY_WRITE (0x20006)
};

// Value types, as the registry numbers them.
enum ValueType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
    kRegQword = 11,
};

// Longest key name the registry allows, in UTF-16 characters.
constexpr std::size_t kMaxKeyNameChars = 255;

// One value's type and its bytes exactly as stored (UTF-16LE for strings).
struct ValueData {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> bytes;
};

struct KeyInfo {
    std::uint32_t subkeyCount = 0;
    std::uint32_t maxSubkeyNameChars = 0;  // without terminator
    std::uint32_t valueCount = 0;
    std::uint32_t maxValueNameChars = 0;   // without terminator
    std::uint32_t maxValueDataBytes = 0;
};

// An open key. Move-only; closes itself.
class Key {
public:
    Key() = default;
    explicit Key(std::uintptr_t native) : native_(native) {}
    ~Key() { Close(); }
    Key(Key&& other) noexcept : native_(other.Release()) {}
    Key& operator=(Key&& other) noexcept {
        if (this != &other) {
            Close();
            native_ = other.Release();
        }
        return *this;
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool IsOpen() const { return native_ != 0; }
    std::uintptr_t Native() const { return native_; }
    void Close();

private:
    std::uintptr_t Release() {
        std::uintptr_t n = native_;
        native_ = 0;
        return n;
    }
    std::uintptr_t native_ = 0;
};

// RegOpenKeyExW in the 64-bit view (as are all keys here): fails when the key
// is missing.
Status OpenKey(RootKey root, const std::wstring& path, Access access, Key& out);
Status OpenKey(const Key& parent, const std::wstring& path, Access access, Key& out);

// RegCreateKeyExW with KEY_WRITE: opens an existing key, creates missing ones
// along the path. An empty path is refused with kInvalidParameter: the real
// call would open the parent itself and write into it.
Status CreateKey(RootKey root, const std::wstring& path, Key& out);
Status CreateKey(const Key& parent, const std::wstring& path, Key& out);

// RegSetValueExW as REG_SZ, terminator included. A null name is the default
// value.
Status SetString(const Key& key, const wchar_t* name, const std::wstring& data);

// RegSetValueExW with the type and bytes as given, none at all included.
Status SetValue(const Key& key, const wchar_t* name, std::uint32_t type,
                const std::vector<std::uint8_t>& bytes);

// RegQueryValueExW: the data as stored, type included; fails with kMoreData
// when it is larger than maxBytes.
Status QueryValue(const Key& key, const wchar_t* name, std::size_t maxBytes, ValueData& out);

// The string types a string read accepts, as RegGetValueW's RRF_RT_ flags
// name them.
enum StringTypes : std::uint32_t {
    kAcceptSz = 0x00000002,        // REG_SZ
    kAcceptExpandSz = 0x00000004,  // REG_EXPAND_SZ, read as stored, unexpanded
    kAcceptAnyString = kAcceptSz | kAcceptExpandSz,
};

// A string value's text, read with a buffer that grows up to maxBytes. The
// text ends at its first NUL, as every reader of the value sees it, so a
// value stored with or without its terminator reads the same. Fails with
// kFileNotFound when the value is missing, kMoreData when it is larger than
// maxBytes, kUnsupportedType when its type is not one of accepted, and with
// any other failure as the registry reports it.
Status ReadString(const Key& key, const wchar_t* name, std::uint32_t accepted,
                  std::size_t maxBytes, std::wstring& text);

// A REG_DWORD value's number, read little-endian as the registry stores it.
// Fails with kFileNotFound when the value is missing, kUnsupportedType when
// it is not four bytes of REG_DWORD, and with any other failure as the
// registry reports it.
Status ReadDword(const Key& key, const wchar_t* name, std::uint32_t& number);

// RegEnumKeyExW: fails with kMoreData when the name is longer than
// maxNameChars, kNoMoreItems past the last subkey.
Status EnumKey(const Key& key, std::uint32_t index, std::size_t maxNameChars, std::wstring& name);

// RegEnumValueW: name and raw data of the value at index.
Status EnumValue(const Key& key, std::uint32_t index, std::size_t maxNameChars,
                 std::size_t maxDataBytes, std::wstring& name, ValueData& data);

// RegQueryInfoKeyW.
Status QueryInfo(const Key& key, KeyInfo& info);

// The key at path with everything beneath it, as RegDeleteTreeW deletes it,
// in the 64-bit view (RegDeleteKeyExW deletes the emptied key). An empty path
// is refused with kInvalidParameter: the real call would empty the root.
Status DeleteTree(RootKey root, const std::wstring& path);

// RegDeleteValueW.
Status DeleteValue(const Key& key, const wchar_t* name);

// Text helpers shared by both backends and the commands.

// UTF-16LE bytes of text, without terminator.
std::vector<std::uint8_t> ToUtf16Bytes(const std::wstring& text);
// The string that bytes hold: UTF-16LE up to the first NUL or the end, an odd
// trailing byte dropped. Never reads past bytes.
std::wstring StringFromBytes(const std::vector<std::uint8_t>& bytes);
// Number of UTF-16 code units text takes.
std::size_t Utf16Length(const std::wstring& text);

}  // namespace registry

// The registry layer on advapi32.
//
// Every key is opened in the 64-bit view, the one Explorer and Settings read.
// Under WOW64 a 32-bit process would otherwise see HKLM\SOFTWARE redirected
// to Wow6432Node: Microsoft shares Clients, RegisteredApplications and
// Classes between the views from Windows 7 on, but not on Vista, and a
// vendor's Capabilities may lie anywhere under SOFTWARE. 32-bit Windows
// ignores the flag.
#include <windows.h>

#include <algorithm>

#include "registry/registry.h"

namespace registry {

namespace {

HKEY RootHandle(RootKey root) {
    return root == RootKey::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

HKEY Handle(const Key& key) {
    return reinterpret_cast<HKEY>(key.Native());
}

REGSAM Rights(Access access) {
    return (access == Access::Read ? KEY_READ : KEY_WRITE) | KEY_WOW64_64KEY;
}

// What emptying a key and then deleting it needs.
constexpr REGSAM kDeleteTreeRights =
    DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY;

Status Open(HKEY parent, const std::wstring& path, Access access, Key& out) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(parent, path.c_str(), 0, Rights(access), &opened);
    if (status == ERROR_SUCCESS) {
        out = Key(reinterpret_cast<std::uintptr_t>(opened));
    }
    return status;
}

Status Create(HKEY parent, const std::wstring& path, Key& out) {
    if (path.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY created = nullptr;
    LONG status = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE | KEY_WOW64_64KEY, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS) {
        out = Key(reinterpret_cast<std::uintptr_t>(created));
    }
    return status;
}

// A buffer of at least one byte, so that a zero size still asks for data
// (a null buffer would only ask for the size, and succeed).
std::vector<std::uint8_t> DataBuffer(std::size_t maxBytes) {
    return std::vector<std::uint8_t>(std::max<std::size_t>(maxBytes, 1));
}

}  // namespace

void Key::Close() {
    if (native_ != 0) {
        RegCloseKey(reinterpret_cast<HKEY>(native_));
        native_ = 0;
    }
}

Status OpenKey(RootKey root, const std::wstring& path, Access access, Key& out) {
    return Open(RootHandle(root), path, access, out);
}

Status OpenKey(const Key& parent, const std::wstring& path, Access access, Key& out) {
    return Open(Handle(parent), path, access, out);
}

Status CreateKey(RootKey root, const std::wstring& path, Key& out) {
    return Create(RootHandle(root), path, out);
}

Status CreateKey(const Key& parent, const std::wstring& path, Key& out) {
    return Create(Handle(parent), path, out);
}

Status SetString(const Key& key, const wchar_t* name, const std::wstring& data) {
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(Handle(key), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()), bytes);
}

Status SetValue(const Key& key, const wchar_t* name, std::uint32_t type,
                const std::vector<std::uint8_t>& bytes) {
    // An empty vector may hold no buffer at all; give the call a real one.
    static const BYTE kNoData = 0;
    return RegSetValueExW(Handle(key), name, 0, type, bytes.empty() ? &kNoData : bytes.data(),
                          static_cast<DWORD>(bytes.size()));
}

Status QueryValue(const Key& key, const wchar_t* name, std::size_t maxBytes, ValueData& out) {
    std::vector<std::uint8_t> buffer = DataBuffer(maxBytes);
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(maxBytes);
    LONG status = RegQueryValueExW(Handle(key), name, nullptr, &type, buffer.data(), &size);
    if (status == ERROR_SUCCESS) {
        buffer.resize(size);
        out.type = type;
        out.bytes = std::move(buffer);
    }
    return status;
}

Status EnumKey(const Key& key, std::uint32_t index, std::size_t maxNameChars, std::wstring& name) {
    std::wstring buffer(maxNameChars + 1, L'\0');
    DWORD length = static_cast<DWORD>(buffer.size());
    LONG status = RegEnumKeyExW(Handle(key), index, &buffer[0], &length, nullptr, nullptr,
                                nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
        name.assign(buffer.data(), length);
    }
    return status;
}

Status EnumValue(const Key& key, std::uint32_t index, std::size_t maxNameChars,
                 std::size_t maxDataBytes, std::wstring& name, ValueData& data) {
    std::wstring nameBuffer(maxNameChars + 1, L'\0');
    DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
    std::vector<std::uint8_t> dataBuffer = DataBuffer(maxDataBytes);
    DWORD dataSize = static_cast<DWORD>(maxDataBytes);
    DWORD type = REG_NONE;
    LONG status = RegEnumValueW(Handle(key), index, &nameBuffer[0], &nameLength, nullptr, &type,
                                dataBuffer.data(), &dataSize);
    if (status == ERROR_SUCCESS) {
        name.assign(nameBuffer.data(), nameLength);
        dataBuffer.resize(dataSize);
        data.type = type;
        data.bytes = std::move(dataBuffer);
    }
    return status;
}

Status QueryInfo(const Key& key, KeyInfo& info) {
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxValueData = 0;
    LONG status = RegQueryInfoKeyW(Handle(key), nullptr, nullptr, nullptr, &subkeys, &maxSubkey,
                                   nullptr, &values, &maxValueName, &maxValueData, nullptr,
                                   nullptr);
    if (status == ERROR_SUCCESS) {
        info = KeyInfo{subkeys, maxSubkey, values, maxValueName, maxValueData};
    }
    return status;
}

// RegDeleteTreeW takes no view: the key is opened in the 64-bit view and
// emptied through its handle (its subkeys are in the same view), then the
// key itself is deleted from that view.
Status DeleteTree(RootKey root, const std::wstring& path) {
    if (path.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(RootHandle(root), path.c_str(), 0, kDeleteTreeRights, &opened);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const Key key(reinterpret_cast<std::uintptr_t>(opened));  // closes it
    status = RegDeleteTreeW(opened, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return RegDeleteKeyExW(RootHandle(root), path.c_str(), KEY_WOW64_64KEY, 0);
}

Status DeleteValue(const Key& key, const wchar_t* name) {
    return RegDeleteValueW(Handle(key), name);
}

}  // namespace registry

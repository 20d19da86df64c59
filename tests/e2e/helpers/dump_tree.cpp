// Prints a registry key tree exactly as stored, for the end-to-end tests to
// compare before a removal and after its backup was imported again.
//
//   dump_tree HKCU|HKLM <path> [<value name>]
//
// One line per key ("K <path>") and per value ("V <path> <name> <type>
// <data>"), paths relative to <path>, names as hex of their UTF-16LE bytes,
// the type as a hex number and the data as hex of its stored bytes. With a
// value name only that value is printed. Exit status 1 when the key (or the
// value) is missing, 2 when anything cannot be read.
//
// It reads the 64-bit registry view, the one Explorer and reg.exe see, also
// when built for 32-bit Windows.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Hex(const void* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    const auto* data = static_cast<const unsigned char*>(bytes);
    std::string text = count == 0 ? "-" : "";
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0xF];
    }
    return text;
}

std::string HexName(const std::wstring& name) {
    return Hex(name.data(), name.size() * sizeof(wchar_t));
}

void PrintValue(const std::wstring& path, const std::wstring& name, DWORD type,
                const std::vector<BYTE>& data) {
    std::printf("V %s %s %lx %s\n", HexName(path).c_str(), HexName(name).c_str(),
                static_cast<unsigned long>(type), Hex(data.data(), data.size()).c_str());
}

bool DumpValues(HKEY key, const std::wstring& path, DWORD count, DWORD maxName, DWORD maxData) {
    for (DWORD index = 0; index < count; ++index) {
        std::wstring name(maxName + 1, L'\0');
        std::vector<BYTE> data(maxData + 1);
        DWORD nameLength = maxName + 1;
        DWORD size = maxData + 1;
        DWORD type = 0;
        if (RegEnumValueW(key, index, &name[0], &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            return false;
        }
        name.resize(nameLength);
        data.resize(size);
        PrintValue(path, name, type, data);
    }
    return true;
}

bool DumpTree(HKEY key, const std::wstring& path) {
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                         &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::printf("K %s\n", HexName(path).c_str());
    if (!DumpValues(key, path, values, maxName, maxData)) {
        return false;
    }
    for (DWORD index = 0; index < subkeys; ++index) {
        std::wstring name(maxSubkey + 1, L'\0');
        DWORD length = maxSubkey + 1;
        if (RegEnumKeyExW(key, index, &name[0], &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return false;
        }
        name.resize(length);
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &child) !=
            ERROR_SUCCESS) {
            return false;
        }
        const bool dumped = DumpTree(child, path.empty() ? name : path + L"\\" + name);
        RegCloseKey(child);
        if (!dumped) {
            return false;
        }
    }
    return true;
}

int DumpOneValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return 1;
    }
    std::vector<BYTE> data(size + 1);
    if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        return 2;
    }
    data.resize(size);
    PrintValue(L"", name, type, data);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::printf("usage: dump_tree HKCU|HKLM <path> [<value name>]\n");
        return 2;
    }
    const HKEY root = std::wstring(argv[1]) == L"HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, argv[2], 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return 1;
    }
    const int status = argc > 3 ? DumpOneValue(key, argv[3]) : (DumpTree(key, L"") ? 0 : 2);
    RegCloseKey(key);
    return status;
}

// Fuzzes the backup writer: input bytes become a key tree (names, types,
// data, depth) under a client's key, and the writer backs up the tree and the
// client's RegisteredApplications value. The file must either fail, only for
// what a .reg file cannot hold (a line break in a name, an over-long path),
// or read back into exactly that tree and value on an empty store.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "output/reg_file.h"
#include "support/reg_reader.h"

namespace {

const std::wstring kClientPath = L"SOFTWARE\\Clients\\StartMenuInternet\\Foo";
const std::wstring kApplicationsPath = L"Software\\RegisteredApplications";

std::wstring Name(fuzz::Input& input, std::size_t maxPieces) {
    std::wstring name;
    const std::size_t pieces = input.Byte() % (maxPieces + 1);
    for (std::size_t i = 0; i < pieces; ++i) {
        name += fuzz::Piece(input.Byte());
    }
    return name;
}

std::vector<std::uint8_t> Data(fuzz::Input& input) {
    std::size_t length = input.Byte();
    if (length == 0xFF) {
        length = 1024 + input.Byte() * 16u;  // past the old 1024-byte limit
    }
    std::vector<std::uint8_t> bytes;
    const std::uint8_t fill = input.Byte();
    for (std::size_t i = 0; i < length; ++i) {
        bytes.push_back(input.AtEnd() ? static_cast<std::uint8_t>(fill + i) : input.Byte());
    }
    return bytes;
}

std::uint32_t Type(std::uint8_t byte) {
    static const std::uint32_t kTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 1, 1, 4, 0x2a};
    return kTypes[byte % 16];
}

// Builds the tree; true when it holds something no .reg file can represent.
bool BuildTree(fuzz::Input& input) {
    std::vector<std::wstring> path = {kClientPath};
    bool unrepresentable = false;
    int keys = 0;
    registry::memory::PutKey(RootKey::CurrentUser, kClientPath);
    while (!input.AtEnd() && keys < 64) {
        std::wstring current;
        for (const std::wstring& part : path) {
            current += (current.empty() ? L"" : L"\\") + part;
        }
        switch (input.Byte() % 4) {
        case 0: {  // a subkey
            std::wstring name = Name(input, 6);
            if (name.empty() || name.find(L'\\') != std::wstring::npos ||
                registry::Utf16Length(name) > registry::kMaxKeyNameChars || path.size() > 12) {
                break;
            }
            path.push_back(name);
            current += L"\\" + name;
            registry::memory::PutKey(RootKey::CurrentUser, current);
            unrepresentable = unrepresentable || name.find_first_of(L"\r\n") != std::wstring::npos ||
                              registry::Utf16Length(current) > 1023;
            ++keys;
            break;
        }
        case 1:
            if (path.size() > 1) {
                path.pop_back();
            }
            break;
        default: {  // a value
            std::wstring name = Name(input, 4);
            const std::uint32_t type = Type(input.Byte());
            std::vector<std::uint8_t> data = Data(input);
            registry::memory::PutValue(RootKey::CurrentUser, current,
                                       name.empty() ? nullptr : name.c_str(), type, data);
            unrepresentable = unrepresentable || name.find_first_of(L"\r\n") != std::wstring::npos;
            break;
        }
        }
    }
    return unrepresentable;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input{data, size};
    registry::memory::Reset();
    test_platform::Reset();
    registry::memory::PutKey(RootKey::CurrentUser, kApplicationsPath);
    const bool withApplication = input.Byte() % 2 == 1;
    if (withApplication) {
        registry::memory::PutString(RootKey::CurrentUser, kApplicationsPath,
                                    L"Foo", kClientPath + L"\\Capabilities");
    }
    const bool unrepresentable = BuildTree(input);
    const std::wstring tree = registry::memory::DumpTree(RootKey::CurrentUser, kClientPath);
    const std::wstring store = registry::memory::Dump();

    reg_file::RegFile file;
    file.AddTreeIfPresent(RootKey::CurrentUser, kClientPath);
    {
        registry::Key applications;
        FUZZ_CHECK(registry::OpenKey(RootKey::CurrentUser, kApplicationsPath, registry::Access::Read,
                                     applications) == registry::kSuccess);
        file.AddValueIfPresent(RootKey::CurrentUser, applications, kApplicationsPath, L"Foo");
    }
    FUZZ_CHECK(registry::memory::OpenKeyCount() == 0);
    FUZZ_CHECK(registry::memory::Dump() == store);
    if (file.Failed()) {
        FUZZ_CHECK(unrepresentable);
        return 0;
    }
    FUZZ_CHECK(!unrepresentable);
    const std::vector<std::uint8_t> backup = file.Bytes();
    registry::memory::Reset();
    std::string error;
    if (!reg_reader::ApplyRegFile(backup, error)) {
        std::fprintf(stderr, "backup does not read back: %s\n", error.c_str());
        std::abort();
    }
    FUZZ_CHECK(registry::memory::DumpTree(RootKey::CurrentUser, kClientPath) == tree);
    FUZZ_CHECK(registry::memory::StoredValue(RootKey::CurrentUser, kApplicationsPath, L"Foo")
                   .has_value() == withApplication);
    return 0;
}

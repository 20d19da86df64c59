// Fuzzes the command line: input bytes become an argument vector of wide
// strings and run the whole program on a seeded in-memory registry. Whatever
// the words, the run must end with status 0, 1 or 2, close every key and
// file, and change nothing outside the clients its words name.
#include <sstream>
#include <vector>

#include "fuzz_support.h"

namespace {

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Whether key (a full path from the dump) belongs to the registration of name.
bool BelongsTo(const std::wstring& key, const std::wstring& name) {
    for (const wchar_t* root : {L"HKEY_CURRENT_USER\\", L"HKEY_LOCAL_MACHINE\\"}) {
        const std::wstring client = std::wstring(root) + L"Software\\Clients\\StartMenuInternet\\" + name;
        const std::wstring progId = std::wstring(root) + L"Software\\Classes\\" + name + L"URL";
        for (const std::wstring& base : {client, progId}) {
            if (EqualsIgnoringCase(key, base) || StartsWithIgnoringCase(key, base + L"\\")) {
                return true;
            }
        }
    }
    return false;
}

// Whether key is a file type's key or its Open with list, which a
// registration with -all makes when missing.
bool IsFileTypeKey(const std::wstring& key) {
    for (const wchar_t* root : {L"HKEY_CURRENT_USER\\", L"HKEY_LOCAL_MACHINE\\"}) {
        const std::wstring classes = std::wstring(root) + L"Software\\Classes\\.";
        if (StartsWithIgnoringCase(key, classes)) {
            const std::size_t slash = key.find(L'\\', classes.size());
            return slash == std::wstring::npos ||
                   EqualsIgnoringCase(key.substr(slash), L"\\OpenWithProgids");
        }
    }
    return false;
}

// The store's dump without what the registrations of names may change.
std::wstring DumpOutside(const std::vector<std::wstring>& names) {
    std::wistringstream lines(registry::memory::Dump());
    std::wostringstream kept;
    std::wstring line;
    std::wstring section;
    bool skipping = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == L'[') {
            section = line.substr(1, line.size() - 2);
            skipping = false;
            for (const std::wstring& name : names) {
                skipping = skipping || BelongsTo(section, name);
            }
            if (IsFileTypeKey(section)) {
                line.clear();  // its values still count
            }
        } else if (!skipping && IsFileTypeKey(section)) {
            for (const std::wstring& name : names) {
                if (StartsWithIgnoringCase(line, L"  \"" + name + L"URL\" ")) {
                    line.clear();
                }
            }
        } else if (!skipping && section.size() >= 22 &&
                   EqualsIgnoringCase(section.substr(section.size() - 22), L"RegisteredApplications")) {
            for (const std::wstring& name : names) {
                if (StartsWithIgnoringCase(line, L"  \"" + name + L"\" ")) {
                    line.clear();
                }
            }
        }
        if (!skipping && !line.empty()) {
            kept << line << L'\n';
        }
    }
    return kept.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input{data, size};
    std::vector<std::wstring> words = {L"Marovendel.exe"};
    std::wstring word;
    while (!input.AtEnd() && words.size() < 16) {
        const std::uint8_t byte = input.Byte();
        if (byte == 0) {
            words.push_back(word);
            word.clear();
        } else if (word.size() < 400) {
            word += fuzz::Piece(byte);
        }
    }
    words.push_back(word);
    const bool isAdmin = words.size() % 2 == 0;

    fuzz::SeedRegistrations();
    test_platform::SetAdministrator(isAdmin);
    std::vector<std::wstring> names;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (registration::ClientName::From(words[i])) {
            names.push_back(words[i]);
        }
    }
    const std::wstring before = DumpOutside(names);

    std::vector<wchar_t*> argv;
    for (std::wstring& w : words) {
        argv.push_back(&w[0]);
    }
    argv.push_back(nullptr);
    const int status = wmain(static_cast<int>(words.size()), argv.data());

    FUZZ_CHECK(status == 0 || status == 1 || status == 2);
    FUZZ_CHECK(registry::memory::OpenKeyCount() == 0);
    FUZZ_CHECK(test_platform::OpenFileCount() == 0);
    FUZZ_CHECK(DumpOutside(names) == before);
    const std::wstring& output = test_platform::Output();
    FUZZ_CHECK(output.empty() || output.back() == L'\n');
    return 0;
}

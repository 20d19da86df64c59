// Shared by the fuzzers: turning input bytes into wide text, and seeding the
// in-memory registry with registrations to disturb.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "commands/commands.h"
#include "output/text.h"
#include "support/memory_registry.h"
#include "support/program.h"
#include "support/test_platform.h"

namespace fuzz {

// Ends the run loudly, so libFuzzer records the input.
#define FUZZ_CHECK(condition)                                                   \
    do {                                                                        \
        if (!(condition)) {                                                     \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition,      \
                         __FILE__, __LINE__);                                   \
            std::abort();                                                       \
        }                                                                       \
    } while (0)

// Reads input bytes in order; past the end every read is zero.
struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;

    bool AtEnd() const { return pos >= size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
};

// One character chosen so that short inputs reach the interesting ones:
// separators, quotes, placeholders, non-ASCII and astral characters.
inline std::wstring Piece(std::uint8_t byte) {
    static const wchar_t* const kPieces[] = {
        L"list", L"HKCU", L"HKLM", L"delete", L"-nobackup", L"hKcU", L"LiSt", L"DELETE",
        L"-NOBACKUP", L"Foo", L"foo", L"Other", L"%1", L"\"", L"\\", L"/",
        L"\u00e9", L"\u65e5", L"\u0130", L"\r\n", L"]", L"[", L"=", L"@",
        L"IEXPLORE.EXE", L"URL", L" ", L"*", L"?", L"..", L"C:\\x.exe", L"\t",
        L"-all",
    };
    constexpr std::size_t kCount = sizeof(kPieces) / sizeof(kPieces[0]);
    if (byte >= 0x20 && byte < 0x7F) {
        return std::wstring(1, static_cast<wchar_t>(byte));
    }
    if (byte >= 0x80 && byte < 0x80 + kCount) {
        return kPieces[byte - 0x80];
    }
    if (byte == 0xF0) {
        return std::wstring(200, L'x');
    }
    if (byte == 0xF1) {
        return sizeof(wchar_t) == 2 ? std::wstring(L"\xD83C\xDF10")
                                    : std::wstring(1, static_cast<wchar_t>(0x1F310));
    }
    return std::wstring(1, static_cast<wchar_t>(0x100 + byte));
}

// A fresh machine with Foo and Other registered under both roots, Other
// with -all.
inline void SeedRegistrations() {
    registry::memory::Reset();
    test_platform::Reset();
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
        registry::memory::PutKey(root, L"Software\\RegisteredApplications");
        registry::memory::PutKey(root, L"Software\\Clients\\StartMenuInternet\\IEXPLORE.EXE");
        const wchar_t* word = root == RootKey::CurrentUser ? L"HKCU" : L"HKLM";
        for (const wchar_t* name : {L"Foo", L"Other"}) {
            std::wstring argv0 = L"Marovendel.exe", rootWord = word, client = name,
                         exe = L"C:\\Apps\\b.exe", all = L"-all";
            wchar_t* argv[] = {&argv0[0], &rootWord[0], &client[0], &exe[0], &all[0], nullptr};
            const int argc = client == L"Other" ? 5 : 4;
            argv[argc] = nullptr;
            wmain(argc, argv);
        }
    }
    registry::memory::ClearFaultsAndCounters();
    test_platform::ClearFileFaultsAndCounters();
    test_platform::ClearOutput();
}

}  // namespace fuzz

// Output and text helpers shared by the commands.
#include <cstdarg>
#include <cwchar>
#include <vector>

#include "marovendel.h"
#include "platform/platform.h"

namespace {

// vswprintf into a buffer that grows until the text fits.
std::wstring FormatList(const wchar_t* format, va_list args) {
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size()) {
            return std::wstring(buffer.data(), static_cast<std::size_t>(written));
        }
        if (buffer.size() >= (1u << 24)) {
            return std::wstring();
        }
        buffer.resize(buffer.size() * 2);
    }
}

wchar_t FoldAscii(wchar_t ch) {
    return (ch >= L'a' && ch <= L'z') ? static_cast<wchar_t>(ch - L'a' + L'A') : ch;
}

}  // namespace

void Print(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatList(format, args);
    va_end(args);
    platform::WriteOutput(text);
}

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

const wchar_t* RootWord(RootKey root) {
    return root == RootKey::CurrentUser ? L"HKCU" : L"HKLM";
}

void PrintNotRegistered(RootKey root, const registration::ClientName& clientName) {
    Print(L"%ls is not registered under %ls.\n", clientName.c_str(), RootWord(root));
}

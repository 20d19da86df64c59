// Output and text helpers shared by the commands.
#include "output/text.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

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

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

bool IsSurrogate(std::uint32_t unit) {
    return unit >= 0xD800u && unit < 0xE000u;
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

void PrintBanner() {
    Print(L"\nMarovendel v1.0 by the Marovendel developers\n");
    Print(L"======================================================\n\n");
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

const wchar_t* RootWord(registry::RootKey root) {
    return root == registry::RootKey::CurrentUser ? L"HKCU" : L"HKLM";
}

void PrintNotRegistered(registry::RootKey root, const std::wstring& clientName) {
    Print(L"%ls is not registered under %ls.\n", clientName.c_str(), RootWord(root));
}

const wchar_t* MovedBrowserAdvice(registry::RootKey root) {
    return root == registry::RootKey::CurrentUser
               ? L"if the browser has moved, drop it onto Marovendel.exe from its new place, or "
                 L"register it again with its new path."
               : L"if the browser has moved, register it again with its new path.";
}

std::wstring ListOf(const std::vector<std::wstring>& items) {
    std::wstring list;
    for (std::size_t i = 0; i < items.size(); ++i) {
        list += (i == 0 ? L"" : i + 1 == items.size() ? L" and " : L", ") + items[i];
    }
    return list;
}

// The code point at text[i], moving i past it. Where wchar_t is UTF-16 a
// surrogate pair is one code point; a lone surrogate, or where wchar_t is 4
// bytes a value beyond Unicode, has no UTF-8 form and becomes U+FFFD.
std::uint32_t NextCodePoint(const std::wstring& text, std::size_t& i) {
    const auto unit = static_cast<std::uint32_t>(text[i++]);
    if (sizeof(wchar_t) == 2 && unit >= 0xD800u && unit < 0xDC00u && i < text.size()) {
        const auto low = static_cast<std::uint32_t>(text[i]);
        if (low >= 0xDC00u && low < 0xE000u) {
            ++i;
            return 0x10000u + ((unit - 0xD800u) << 10) + (low - 0xDC00u);
        }
    }
    return IsSurrogate(unit) || unit > 0x10FFFFu ? kReplacementCharacter : unit;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    const auto byte = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80u) {
        byte(code);
    } else if (code < 0x800u) {
        byte(0xC0u | (code >> 6));
        byte(0x80u | (code & 0x3Fu));
    } else if (code < 0x10000u) {
        byte(0xE0u | (code >> 12));
        byte(0x80u | ((code >> 6) & 0x3Fu));
        byte(0x80u | (code & 0x3Fu));
    } else {
        byte(0xF0u | (code >> 18));
        byte(0x80u | ((code >> 12) & 0x3Fu));
        byte(0x80u | ((code >> 6) & 0x3Fu));
        byte(0x80u | (code & 0x3Fu));
    }
}

// name as one word of a command line: quoted when it holds a blank or a
// character the console treats specially, with its own quotes escaped.
std::wstring CommandLineWord(const std::wstring& name) {
    if (name.find_first_of(L" \t\"&|<>^()") == std::wstring::npos) {
        return name;
    }
    std::wstring word = L"\"";
    for (wchar_t ch : name) {
        if (ch == L'"') {
            word += L'\\';
        }
        word += ch;
    }
    return word + L"\"";
}

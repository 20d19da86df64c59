// Reading an .ini file's bytes without the profile functions, which read
// UTF-8 as ANSI and cannot tell a missing key from an empty one.
#include "programs/ini_file.h"

#include <initializer_list>

#include "output/text.h"
#include "registry/registry.h"

namespace ini_file {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;
constexpr std::uint32_t kReplacement = 0xFFFD;

bool StartsWith(const std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> mark) {
    std::size_t at = 0;
    for (std::uint8_t byte : mark) {
        if (at >= bytes.size() || bytes[at++] != byte) {
            return false;
        }
    }
    return true;
}

void AppendCodePoint(std::wstring& out, std::uint32_t code) {
    if (kWideIsUtf16 && code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (code >> 10));
        out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
}

// The first byte of each longer UTF-8 sequence: its fixed bits, the
// sequence's length and the least code point it may encode.
struct Utf8Lead {
    std::uint8_t mask;
    std::uint8_t bits;
    std::size_t length;
    std::uint32_t least;
};
constexpr Utf8Lead kUtf8Leads[] = {
    {0xE0, 0xC0, 2, 0x80},
    {0xF0, 0xE0, 3, 0x800},
    {0xF8, 0xF0, 4, 0x10000},
};

// The length of the well-formed UTF-8 sequence at bytes[at], with its code
// point; 0 when none starts there (overlong forms and surrogates included).
std::size_t Utf8Sequence(const std::vector<std::uint8_t>& bytes, std::size_t at,
                         std::uint32_t& code) {
    code = bytes[at];
    if (code < 0x80) {
        return 1;
    }
    for (const Utf8Lead& lead : kUtf8Leads) {
        if ((bytes[at] & lead.mask) != lead.bits || bytes.size() - at < lead.length) {
            continue;
        }
        code = bytes[at] & static_cast<std::uint8_t>(~lead.mask);
        for (std::size_t i = 1; i < lead.length; ++i) {
            if ((bytes[at + i] & 0xC0) != 0x80) {
                return 0;
            }
            code = (code << 6) | (bytes[at + i] & 0x3Fu);
        }
        const bool surrogate = code >= 0xD800 && code < 0xE000;
        return code < lead.least || code > 0x10FFFF || surrogate ? 0 : lead.length;
    }
    return 0;
}

// The UTF-8 text from bytes[from]; with strict, nothing at the first byte
// that starts no sequence, else U+FFFD for it.
std::optional<std::wstring> Utf8Text(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                     bool strict) {
    std::wstring text;
    for (std::size_t at = from; at < bytes.size();) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8Sequence(bytes, at, code);
        if (length == 0 && strict) {
            return std::nullopt;
        }
        AppendCodePoint(text, length == 0 ? kReplacement : code);
        at += length == 0 ? 1 : length;
    }
    return text;
}

std::wstring Trimmed(const std::wstring& text) {
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

std::wstring Unquoted(const std::wstring& value) {
    const bool quoted = value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
                        value.back() == value.front();
    return quoted ? value.substr(1, value.size() - 2) : value;
}

}  // namespace

std::wstring Decode(const std::vector<std::uint8_t>& bytes,
                    std::wstring (*ansi)(const std::vector<std::uint8_t>&)) {
    if (StartsWith(bytes, {0xFF, 0xFE})) {
        return registry::StringFromBytes(std::vector<std::uint8_t>(bytes.begin() + 2, bytes.end()));
    }
    if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        return *Utf8Text(bytes, 3, false);
    }
    if (std::optional<std::wstring> text = Utf8Text(bytes, 0, true)) {
        return *text;
    }
    return ansi(bytes);
}

std::vector<Entry> Entries(const std::wstring& text) {
    std::vector<Entry> entries;
    std::wstring section;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        const std::wstring line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        const std::size_t close = line.find(L']');
        const std::size_t equals = line.find(L'=');
        if (line.empty() || line[0] == L';') {
            continue;
        } else if (line[0] == L'[' && close != std::wstring::npos) {
            section = Trimmed(line.substr(1, close - 1));
        } else if (equals != std::wstring::npos && equals > 0) {
            entries.push_back(
                Entry{section, Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1))});
        }
    }
    return entries;
}

std::optional<std::wstring> Value(const std::vector<Entry>& entries, const std::wstring& section,
                                  const std::wstring& key) {
    for (const Entry& entry : entries) {
        if (EqualsIgnoringCase(entry.section, section) && EqualsIgnoringCase(entry.key, key)) {
            return Unquoted(entry.value);
        }
    }
    return std::nullopt;
}

}  // namespace ini_file

#include "support/reg_reader.h"

#include <sstream>

#include "support/memory_registry.h"

namespace reg_reader {

namespace {

using registry::RootKey;

struct Parser {
    std::vector<std::wstring> lines;
    std::size_t next = 0;
    std::string error;

    bool Fail(const std::string& why) {
        std::ostringstream out;
        out << "line " << next << ": " << why;
        error = out.str();
        return false;
    }
};

// The file's text, and whether its line ends are all CR LF.
bool Decode(const std::vector<std::uint8_t>& file, std::wstring& text) {
    if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0xFE) {
        if (file.size() % 2 != 0) {
            return false;
        }
        std::vector<std::uint8_t> body(file.begin() + 2, file.end());
        text = registry::StringFromBytes(body);
        return registry::Utf16Length(text) * 2 == body.size();  // no NUL inside
    }
    for (std::uint8_t byte : file) {
        if (byte == 0 || byte > 0x7E || (byte < 0x20 && byte != '\r' && byte != '\n')) {
            return false;  // the 8-bit form carries printable ASCII only
        }
        text.push_back(static_cast<wchar_t>(byte));
    }
    return true;
}

bool SplitLines(const std::wstring& text, std::vector<std::wstring>& lines) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            return false;  // every line, the last included, ends with CR LF
        }
        std::wstring line = text.substr(start, end - start);
        if (line.find_first_of(L"\r\n") != std::wstring::npos) {
            return false;
        }
        lines.push_back(line);
        start = end + 2;
    }
    return true;
}

int HexDigit(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9') return ch - L'0';
    if (ch >= L'a' && ch <= L'f') return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F') return ch - L'A' + 10;
    return -1;
}

// A quoted string starting at text[pos] (the opening quote); pos ends past
// the closing quote.
bool ReadQuoted(const std::wstring& text, std::size_t& pos, std::wstring& out) {
    if (pos >= text.size() || text[pos] != L'"') {
        return false;
    }
    for (++pos; pos < text.size(); ++pos) {
        wchar_t ch = text[pos];
        if (ch == L'"') {
            ++pos;
            return true;
        }
        if (ch == L'\\') {
            if (++pos >= text.size() || (text[pos] != L'\\' && text[pos] != L'"')) {
                return false;
            }
            ch = text[pos];
        }
        out.push_back(ch);
    }
    return false;
}

// "xx,xx,...", continued over lines that end with ",\" and go on indented by
// two spaces.
bool ReadHex(Parser& parser, std::wstring text, std::vector<std::uint8_t>& bytes) {
    for (;;) {
        bool continued = false;
        if (!text.empty() && text.back() == L'\\') {
            text.pop_back();
            continued = true;
        }
        std::size_t pos = 0;
        while (pos < text.size()) {
            if (pos + 2 > text.size() || HexDigit(text[pos]) < 0 || HexDigit(text[pos + 1]) < 0) {
                return parser.Fail("bad hex byte");
            }
            bytes.push_back(static_cast<std::uint8_t>(HexDigit(text[pos]) * 16 + HexDigit(text[pos + 1])));
            pos += 2;
            if (pos < text.size()) {
                if (text[pos] != L',') {
                    return parser.Fail("hex bytes must be separated by commas");
                }
                ++pos;
                if (pos == text.size() && !continued) {
                    return parser.Fail("trailing comma");
                }
            }
        }
        if (!continued) {
            return true;
        }
        if (parser.next >= parser.lines.size()) {
            return parser.Fail("continuation at end of file");
        }
        const std::wstring& line = parser.lines[parser.next++];
        if (line.compare(0, 2, L"  ") != 0) {
            return parser.Fail("continuation line not indented by two spaces");
        }
        text = line.substr(2);
    }
}

bool ReadData(Parser& parser, const std::wstring& text, registry::ValueData& value) {
    if (!text.empty() && text[0] == L'"') {
        std::size_t pos = 0;
        std::wstring data;
        if (!ReadQuoted(text, pos, data) || pos != text.size()) {
            return parser.Fail("bad quoted data");
        }
        value.type = registry::kRegSz;
        value.bytes = registry::ToUtf16Bytes(data);
        value.bytes.push_back(0);
        value.bytes.push_back(0);
        return true;
    }
    if (text.compare(0, 6, L"dword:") == 0) {
        if (text.size() != 14) {
            return parser.Fail("dword needs eight hex digits");
        }
        std::uint32_t number = 0;
        for (std::size_t i = 6; i < 14; ++i) {
            if (HexDigit(text[i]) < 0) {
                return parser.Fail("bad dword digit");
            }
            number = number * 16 + static_cast<std::uint32_t>(HexDigit(text[i]));
        }
        value.type = registry::kRegDword;
        value.bytes.clear();
        for (int shift = 0; shift < 32; shift += 8) {
            value.bytes.push_back(static_cast<std::uint8_t>((number >> shift) & 0xFF));
        }
        return true;
    }
    std::size_t colon = 0;
    if (text.compare(0, 4, L"hex:") == 0) {
        value.type = registry::kRegBinary;
        colon = 3;
    } else if (text.compare(0, 4, L"hex(") == 0) {
        const std::size_t close = text.find(L"):");
        if (close == std::wstring::npos || close == 4 || close > 12) {
            return parser.Fail("bad hex(N)");
        }
        std::uint32_t type = 0;
        for (std::size_t i = 4; i < close; ++i) {
            if (HexDigit(text[i]) < 0) {
                return parser.Fail("bad hex(N) digit");
            }
            type = type * 16 + static_cast<std::uint32_t>(HexDigit(text[i]));
        }
        value.type = type;
        colon = close + 1;
    } else {
        return parser.Fail("unknown data form");
    }
    value.bytes.clear();
    return ReadHex(parser, text.substr(colon + 1), value.bytes);
}

bool ReadSection(Parser& parser, const std::wstring& line, RootKey& root, std::wstring& path) {
    if (line.size() < 2 || line.back() != L']') {
        return parser.Fail("bad section line");
    }
    const std::wstring full = line.substr(1, line.size() - 2);
    const std::size_t slash = full.find(L'\\');
    const std::wstring rootName = full.substr(0, slash);
    if (rootName == L"HKEY_CURRENT_USER") {
        root = RootKey::CurrentUser;
    } else if (rootName == L"HKEY_LOCAL_MACHINE") {
        root = RootKey::LocalMachine;
    } else {
        return parser.Fail("unknown root");
    }
    path = slash == std::wstring::npos ? std::wstring() : full.substr(slash + 1);
    registry::memory::PutKey(root, path);
    return true;
}

bool ReadValue(Parser& parser, const std::wstring& line, RootKey root, const std::wstring& path) {
    std::wstring name;
    std::size_t pos = 0;
    bool isDefault = false;
    if (line.compare(0, 2, L"@=") == 0) {
        isDefault = true;
        pos = 1;
    } else if (!ReadQuoted(line, pos, name) || pos >= line.size() || line[pos] != L'=') {
        return parser.Fail("bad value name");
    }
    registry::ValueData value;
    if (!ReadData(parser, line.substr(pos + 1), value)) {
        return false;
    }
    // "" names the default value too.
    registry::memory::PutValue(root, path, isDefault || name.empty() ? nullptr : name.c_str(),
                               value.type, value.bytes);
    return true;
}

}  // namespace

bool ApplyRegFile(const std::vector<std::uint8_t>& file, std::string& error) {
    std::wstring text;
    Parser parser;
    if (!Decode(file, text) || !SplitLines(text, parser.lines)) {
        error = "not a registry-editor file: bad encoding or line ends";
        return false;
    }
    if (parser.lines.size() < 2 || parser.lines[0] != L"Windows Registry Editor Version 5.00" ||
        !parser.lines[1].empty()) {
        error = "missing header";
        return false;
    }
    parser.next = 2;
    bool inSection = false;
    RootKey root = RootKey::CurrentUser;
    std::wstring path;
    while (parser.next < parser.lines.size()) {
        const std::wstring line = parser.lines[parser.next++];
        if (line.empty()) {
            continue;
        }
        if (line[0] == L'[') {
            if (!ReadSection(parser, line, root, path)) {
                error = parser.error;
                return false;
            }
            inSection = true;
        } else if (!inSection || !ReadValue(parser, line, root, path)) {
            error = inSection ? parser.error : "value outside a section";
            return false;
        }
    }
    return true;
}

}  // namespace reg_reader

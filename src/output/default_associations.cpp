// An earlier default-associations file read back, and the Version of the next.
#include "output/default_associations.h"

#include <algorithm>
#include <limits>
#include <tuple>

#include "output/text.h"

namespace default_associations {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code points of UTF-8 text; a byte that starts no valid sequence reads
// as U+FFFD.
std::u32string DecodeUtf8(const std::string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && lead < 0xF5 && text.size() - i >= length;
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        out.push_back(valid ? code : kReplacement);
        i += valid ? length : 1;
    }
    return out;
}

// The code points of UTF-16 text of either byte order; an unpaired
// surrogate, or an odd last byte, reads as U+FFFD.
std::u32string DecodeUtf16(const std::string& bytes, bool bigEndian) {
    const auto unit = [&](std::size_t at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(bigEndian ? first << 8 | second : second << 8 | first);
    };
    std::u32string out;
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const char32_t high = unit(at);
        const char32_t low = at + 3 < bytes.size() ? unit(at + 2) : 0;
        if (high >= 0xD800 && high < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
            out.push_back(0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
            at += 2;
        } else {
            out.push_back(high >= 0xD800 && high < 0xE000 ? kReplacement : high);
        }
    }
    if (bytes.size() % 2 != 0) {
        out.push_back(kReplacement);
    }
    return out;
}

// A file's text by its byte-order mark, as an XML parser reads it: UTF-16
// (Notepad's "Unicode", Windows PowerShell's Out-File) after FF FE or FE FF,
// UTF-8 otherwise.
std::u32string DecodeText(const std::string& bytes) {
    const auto startsWith = [&](const char* mark) { return bytes.compare(0, 2, mark) == 0; };
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        return DecodeUtf16(bytes.substr(2), startsWith("\xFE\xFF"));
    }
    return DecodeUtf8(bytes);
}

bool IsSpace(char32_t ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

bool StartsAt(const std::u32string& text, std::size_t at, const std::u32string& word) {
    return text.compare(at, word.size(), word) == 0;
}

// The position just past "<name" of the next element called name from i on,
// comments passed over; npos when there is none.
std::size_t FindElement(const std::u32string& xml, std::size_t i, const std::u32string& name) {
    while ((i = xml.find(U'<', i)) != std::u32string::npos) {
        if (StartsAt(xml, i, U"<!--")) {
            const std::size_t end = xml.find(U"-->", i + 4);
            i = end == std::u32string::npos ? end : end + 3;
            continue;
        }
        const std::size_t after = i + 1 + name.size();
        if (StartsAt(xml, i + 1, name) && after < xml.size() &&
            (IsSpace(xml[after]) || xml[after] == U'/' || xml[after] == U'>')) {
            return after;
        }
        ++i;
    }
    return std::u32string::npos;
}

// The character an entity reference between & and ; stands for; nothing
// when it is none XML defines.
std::optional<char32_t> EntityValue(const std::u32string& name) {
    static const std::pair<const char32_t*, char32_t> kNamed[] = {
        {U"amp", U'&'}, {U"lt", U'<'}, {U"gt", U'>'}, {U"quot", U'"'}, {U"apos", U'\''}};
    for (const auto& named : kNamed) {
        if (name == named.first) {
            return named.second;
        }
    }
    const bool hex = name.size() > 2 && name[0] == U'#' && (name[1] == U'x');
    if (name.size() < 2 || name[0] != U'#' || name.size() > (hex ? 8u : 9u)) {
        return std::nullopt;
    }
    std::uint32_t code = 0;
    for (std::size_t i = hex ? 2 : 1; i < name.size(); ++i) {
        const char32_t ch = name[i];
        const bool digit = ch >= U'0' && ch <= U'9';
        const bool letter = hex && ((ch >= U'a' && ch <= U'f') || (ch >= U'A' && ch <= U'F'));
        if (!digit && !letter) {
            return std::nullopt;
        }
        const std::uint32_t value = digit ? ch - U'0' : (ch | 0x20) - U'a' + 10;
        code = code * (hex ? 16 : 10) + value;
    }
    return IsXmlCharacter(code) ? std::optional<char32_t>(code) : std::nullopt;
}

// The most characters EntityValue takes between & and ; ("#1114111" with a
// leading zero).
constexpr std::size_t kLongestReference = 9;

// The ; that ends the reference whose & is at amp, looked for only as far as
// a reference EntityValue takes can reach, so that a value of many & and no
// ; is read in one pass; npos when there is none.
std::size_t ReferenceEnd(const std::u32string& raw, std::size_t amp) {
    const std::size_t end = std::min(raw.size(), amp + 2 + kLongestReference);
    for (std::size_t at = amp + 1; at < end; ++at) {
        if (raw[at] == U';') {
            return at;
        }
    }
    return std::u32string::npos;
}

// An attribute's value as a parser hands it on: references replaced, and
// each line end, tab or line feed written as itself a space.
std::u32string AttributeValue(const std::u32string& raw) {
    std::u32string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::size_t semicolon = raw[i] == U'&' ? ReferenceEnd(raw, i) : std::u32string::npos;
        const std::optional<char32_t> entity =
            semicolon == std::u32string::npos ? std::nullopt
                                              : EntityValue(raw.substr(i + 1, semicolon - i - 1));
        if (entity) {
            value.push_back(*entity);
            i = semicolon;
        } else if (raw[i] == U'\r' && i + 1 < raw.size() && raw[i + 1] == U'\n') {
            continue;  // CR LF is one line end
        } else {
            value.push_back(IsSpace(raw[i]) ? U' ' : raw[i]);
        }
    }
    return value;
}

// The attributes of the element whose name ends at i, up to its >.
std::vector<std::pair<std::u32string, std::u32string>> Attributes(const std::u32string& xml,
                                                                  std::size_t i) {
    std::vector<std::pair<std::u32string, std::u32string>> attributes;
    for (;;) {
        while (i < xml.size() && IsSpace(xml[i])) {
            ++i;
        }
        const std::size_t nameStart = i;
        while (i < xml.size() && !IsSpace(xml[i]) && xml[i] != U'=' && xml[i] != U'>' &&
               xml[i] != U'/') {
            ++i;
        }
        const std::u32string name = xml.substr(nameStart, i - nameStart);
        while (i < xml.size() && IsSpace(xml[i])) {
            ++i;
        }
        if (name.empty() || i + 1 >= xml.size() || xml[i] != U'=') {
            return attributes;
        }
        ++i;
        while (i < xml.size() && IsSpace(xml[i])) {
            ++i;
        }
        const char32_t quote = i < xml.size() ? xml[i] : U'\0';
        const std::size_t end =
            quote == U'"' || quote == U'\'' ? xml.find(quote, i + 1) : std::u32string::npos;
        if (end == std::u32string::npos) {
            return attributes;
        }
        attributes.emplace_back(name, AttributeValue(xml.substr(i + 1, end - i - 1)));
        i = end + 1;
    }
}

std::u32string Find(const std::vector<std::pair<std::u32string, std::u32string>>& attributes,
                    const std::u32string& name) {
    for (const auto& attribute : attributes) {
        if (attribute.first == name) {
            return attribute.second;
        }
    }
    return std::u32string();
}

// A Version that is a whole number a DWORD holds.
std::optional<std::uint32_t> VersionNumber(const std::u32string& text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (char32_t ch : text) {
        if (ch < U'0' || ch > U'9') {
            return std::nullopt;
        }
        number = number * 10 + (ch - U'0');
    }
    if (number > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}

std::u32string AsWritten(const std::wstring& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::uint32_t code = NextCodePoint(text, i);
        out.push_back(IsXmlCharacter(code) ? code : kReplacement);
    }
    return out;
}

std::vector<std::tuple<std::u32string, std::u32string, std::u32string>> Sorted(
    const std::vector<Entry>& entries) {
    std::vector<std::tuple<std::u32string, std::u32string, std::u32string>> sorted;
    for (const Entry& entry : entries) {
        sorted.emplace_back(entry.identifier, entry.progId, entry.applicationName);
    }
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

}  // namespace

bool IsXmlCharacter(std::uint32_t code) {
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

Entry EntryOf(const std::wstring& identifier, const std::wstring& progId,
              const std::wstring& applicationName) {
    return Entry{AsWritten(identifier), AsWritten(progId), AsWritten(applicationName)};
}

Earlier ReadEarlier(const std::string& text) {
    Earlier earlier;
    const std::u32string xml = DecodeText(text);
    std::size_t at = FindElement(xml, 0, U"DefaultAssociations");
    if (at == std::u32string::npos) {
        return earlier;
    }
    earlier.version = VersionNumber(Find(Attributes(xml, at), U"Version"));
    while ((at = FindElement(xml, at, U"Association")) != std::u32string::npos) {
        const auto attributes = Attributes(xml, at);
        earlier.entries.push_back(Entry{Find(attributes, U"Identifier"), Find(attributes, U"ProgId"),
                                        Find(attributes, U"ApplicationName")});
    }
    return earlier;
}

bool AssociatesDifferently(const Earlier& earlier, const std::vector<Entry>& entries) {
    return Sorted(earlier.entries) != Sorted(entries);
}

std::uint32_t NewVersion(const std::optional<Earlier>& earlier, const std::vector<Entry>& entries) {
    if (!earlier || !earlier->version) {
        return 1;
    }
    const std::uint32_t version = *earlier->version;
    const bool same = !AssociatesDifferently(*earlier, entries);
    return same || version == std::numeric_limits<std::uint32_t>::max() ? version : version + 1;
}

}  // namespace default_associations

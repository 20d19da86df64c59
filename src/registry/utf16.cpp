// Conversions between wide strings and the registry's UTF-16LE bytes. Where
// wchar_t is 4 bytes, characters beyond the Basic Multilingual Plane become
// surrogate pairs, so both platforms count and store the same units.
#include "registry/registry.h"

namespace registry {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

// Whether ch lies beyond the Basic Multilingual Plane (only possible where
// wchar_t is 4 bytes).
bool IsAstral(wchar_t ch) {
    return (static_cast<std::uint32_t>(ch) >> 16) != 0;
}

void AppendUnit(std::vector<std::uint8_t>& out, std::uint32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFFu));
    out.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFFu));
}

}  // namespace

std::vector<std::uint8_t> ToUtf16Bytes(const std::wstring& text) {
    std::vector<std::uint8_t> out;
    out.reserve(text.size() * 2);
    for (wchar_t ch : text) {
        auto c = static_cast<std::uint32_t>(ch);
        if (!kWideIsUtf16 && IsAstral(ch)) {
            c -= 0x10000u;
            AppendUnit(out, 0xD800u + (c >> 10));
            AppendUnit(out, 0xDC00u + (c & 0x3FFu));
        } else {
            AppendUnit(out, c);
        }
    }
    return out;
}

std::wstring StringFromBytes(const std::vector<std::uint8_t>& bytes) {
    std::wstring out;
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t unit = bytes[2 * i] | (static_cast<std::uint32_t>(bytes[2 * i + 1]) << 8);
        if (unit == 0) {
            break;
        }
        if (!kWideIsUtf16 && unit >= 0xD800u && unit < 0xDC00u && i + 1 < units) {
            std::uint32_t low = bytes[2 * i + 2] | (static_cast<std::uint32_t>(bytes[2 * i + 3]) << 8);
            if (low >= 0xDC00u && low < 0xE000u) {
                unit = 0x10000u + ((unit - 0xD800u) << 10) + (low - 0xDC00u);
                ++i;
            }
        }
        out.push_back(static_cast<wchar_t>(unit));
    }
    return out;
}

std::size_t Utf16Length(const std::wstring& text) {
    std::size_t units = 0;
    for (wchar_t ch : text) {
        units += (!kWideIsUtf16 && IsAstral(ch)) ? 2 : 1;
    }
    return units;
}

}  // namespace registry

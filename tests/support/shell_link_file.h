// Shell link (.lnk) files laid out as [MS-SHLLINK] describes them, for the
// parser's tests and the pretend machine's shortcuts: the header, an ID
// list, a LinkInfo with the local path, Unicode StringData and an
// EnvironmentVariableDataBlock, each only when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_link {

struct Layout {
    std::wstring linkInfoPath;     // empty: no LinkInfo
    bool unicodeLinkInfo = false;  // LocalBasePathUnicode as well (a header of 0x24)
    std::wstring environment;      // empty: no EnvironmentVariableDataBlock
    std::wstring relativePath;     // each of these three empty: not stored
    std::wstring workingDirectory;
    std::wstring arguments;
    bool idList = true;
};

// The 8-bit strings of a link as the pretend machine's ANSI code page,
// Latin-1, reads them: each byte the character of that number.
inline std::wstring Latin1(const std::string& text) {
    std::wstring out;
    for (unsigned char ch : text) {
        out.push_back(ch);
    }
    return out;
}

inline void Put(std::vector<std::uint8_t>& bytes, std::uint32_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

inline void PutAnsi(std::vector<std::uint8_t>& bytes, const std::wstring& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const wchar_t ch = i < text.size() ? text[i] : L'\0';
        bytes.push_back(static_cast<std::uint8_t>(ch > 0xFF ? L'?' : ch));  // Latin-1
    }
}

inline void PutWide(std::vector<std::uint8_t>& bytes, const std::wstring& text, std::size_t units) {
    for (std::size_t i = 0; i < units; ++i) {
        Put(bytes, i < text.size() ? static_cast<std::uint32_t>(text[i]) : 0, 2);  // the BMP only
    }
}

inline std::vector<std::uint8_t> LinkInfo(const std::wstring& path, bool unicode) {
    const std::uint32_t header = unicode ? 0x24 : 0x1C;
    const std::uint32_t volume = header;
    const std::uint32_t base = volume + 0x11;
    const std::uint32_t suffix = base + static_cast<std::uint32_t>(path.size()) + 1;
    const std::uint32_t baseWide = suffix + 1;
    const std::uint32_t suffixWide = baseWide + 2 * static_cast<std::uint32_t>(path.size() + 1);
    const std::uint32_t size = unicode ? suffixWide + 2 : suffix + 1;
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t field : {size, header, 1u, volume, base, 0u, suffix}) {
        Put(bytes, field, 4);
    }
    if (unicode) {
        Put(bytes, baseWide, 4);
        Put(bytes, suffixWide, 4);
    }
    for (std::uint32_t field : {0x11u, 3u, 0x1234ABCDu, 0x10u}) {  // a fixed disk's VolumeID
        Put(bytes, field, 4);
    }
    bytes.push_back(0);  // its empty label
    PutAnsi(bytes, path, path.size() + 1);
    bytes.push_back(0);  // CommonPathSuffix
    if (unicode) {
        PutWide(bytes, path, path.size() + 1);
        Put(bytes, 0, 2);
    }
    return bytes;
}

inline std::vector<std::uint8_t> LinkBytes(const Layout& layout) {
    const std::wstring* strings[] = {&layout.relativePath, &layout.workingDirectory, &layout.arguments};
    std::uint32_t flags = 0x80;  // IsUnicode
    flags |= layout.idList ? 0x1 : 0;
    flags |= layout.linkInfoPath.empty() ? 0 : 0x2;
    for (std::size_t i = 0; i < 3; ++i) {
        flags |= strings[i]->empty() ? 0 : (0x8u << i);
    }
    flags |= layout.environment.empty() ? 0 : 0x200;
    std::vector<std::uint8_t> bytes;
    Put(bytes, 0x4C, 4);
    for (std::uint8_t byte : {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}) {
        bytes.push_back(byte);
    }
    Put(bytes, flags, 4);
    bytes.resize(0x3C, 0);  // attributes, times, size and icon
    Put(bytes, 1, 4);        // SW_SHOWNORMAL
    bytes.resize(0x4C, 0);
    if (layout.idList) {
        Put(bytes, 2, 2);
        Put(bytes, 0, 2);  // an empty list: its terminator alone
    }
    if (!layout.linkInfoPath.empty()) {
        const std::vector<std::uint8_t> info = LinkInfo(layout.linkInfoPath, layout.unicodeLinkInfo);
        bytes.insert(bytes.end(), info.begin(), info.end());
    }
    for (const std::wstring* text : strings) {
        if (!text->empty()) {
            Put(bytes, static_cast<std::uint32_t>(text->size()), 2);
            PutWide(bytes, *text, text->size());
        }
    }
    if (!layout.environment.empty()) {
        Put(bytes, 0x314, 4);
        Put(bytes, 0xA0000001u, 4);
        PutAnsi(bytes, layout.environment, 260);
        PutWide(bytes, layout.environment, 260);
    }
    Put(bytes, 0, 4);  // TerminalBlock
    return bytes;
}

}  // namespace test_link

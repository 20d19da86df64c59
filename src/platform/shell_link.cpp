// A shell link file read from its bytes ([MS-SHLLINK]).
#include "platform/shell_link.h"

#include <algorithm>
#include <optional>

namespace shell_link {

namespace {

constexpr std::size_t kHeaderSize = 0x4C;
// CLSID_ShellLink, {00021401-0000-0000-C000-000000000046}, as the file holds it.
constexpr std::uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::size_t kClsidAt = 4;
constexpr std::size_t kFlagsAt = 0x14;

// LinkFlags.
constexpr std::uint32_t kHasLinkTargetIdList = 0x1;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kHasName = 0x4;
constexpr std::uint32_t kHasRelativePath = 0x8;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kForceNoLinkInfo = 0x100;
constexpr std::uint32_t kHasExpString = 0x200;

// LinkInfo: its header, with the Unicode offsets from a header of 0x24 on.
constexpr std::size_t kLinkInfoHeaderSize = 0x1C;
constexpr std::size_t kLinkInfoUnicodeHeaderSize = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;

// The EnvironmentVariableDataBlock: TargetAnsi and TargetUnicode of
// MAX_PATH characters each after the block's size and signature.
constexpr std::uint32_t kEnvironmentSignature = 0xA0000001;
constexpr std::size_t kEnvironmentBlockSize = 0x314;
constexpr std::size_t kMaxPath = 260;

using Bytes = std::vector<std::uint8_t>;

// Whether count bytes from at lie before end.
bool Fits(std::size_t end, std::size_t at, std::size_t count) {
    return at <= end && count <= end - at;
}

// A little-endian number of size bytes at at, which the caller has checked.
std::uint32_t Little(const Bytes& bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = (value << 8) | bytes[at + i];
    }
    return value;
}

// Up to count UTF-16LE units at at, ending at the first NUL, as text.
std::wstring Utf16Text(const Bytes& bytes, std::size_t at, std::size_t count) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t unit = Little(bytes, at + 2 * i, 2);
        if (unit == 0) {
            break;
        }
        if (sizeof(wchar_t) == 4 && unit >= 0xD800 && unit < 0xDC00 && i + 1 < count) {
            const std::uint32_t low = Little(bytes, at + 2 * i + 2, 2);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

// Up to count bytes at at, ending at the first NUL.
std::string AnsiText(const Bytes& bytes, std::size_t at, std::size_t count) {
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(at);
    return std::string(begin, std::find(begin, begin + static_cast<std::ptrdiff_t>(count), 0));
}

// The NUL-terminated string at offset from begin, in its code (2 bytes a
// character when wide), which must end before end; nothing when it does not.
std::optional<std::wstring> TerminatedText(const Bytes& bytes, std::size_t begin, std::size_t end,
                                           std::uint32_t offset, bool wide,
                                           AnsiDecoder decodeAnsi) {
    const std::size_t unit = wide ? 2 : 1;
    if (offset >= end - begin) {
        return std::nullopt;  // checked first: begin + offset could wrap around
    }
    for (std::size_t at = begin + offset; Fits(end, at, unit); at += unit) {
        if (Little(bytes, at, unit) == 0) {
            const std::size_t count = (at - begin - offset) / unit;
            return wide ? Utf16Text(bytes, begin + offset, count)
                        : decodeAnsi(AnsiText(bytes, begin + offset, count));
        }
    }
    return std::nullopt;
}

// The local path LinkInfo, at begin up to end, holds: LocalBasePath and
// CommonPathSuffix, each in Unicode when the header gives its offset. Empty
// for a target on a network share alone, which only the shell resolves.
// False when a string it names runs past the LinkInfo.
bool ReadLinkInfo(const Bytes& bytes, std::size_t begin, std::size_t end, AnsiDecoder decodeAnsi,
                  std::wstring& path) {
    const std::size_t headerSize = Little(bytes, begin + 4, 4);
    if (headerSize < kLinkInfoHeaderSize || headerSize > end - begin) {
        return false;
    }
    if ((Little(bytes, begin + 8, 4) & kVolumeIdAndLocalBasePath) == 0) {
        return true;
    }
    const bool unicode = headerSize >= kLinkInfoUnicodeHeaderSize;
    const std::uint32_t baseWide = unicode ? Little(bytes, begin + 28, 4) : 0;
    const std::uint32_t suffixWide = unicode ? Little(bytes, begin + 32, 4) : 0;
    const std::uint32_t base = baseWide != 0 ? baseWide : Little(bytes, begin + 16, 4);
    const std::uint32_t suffix = suffixWide != 0 ? suffixWide : Little(bytes, begin + 24, 4);
    const std::optional<std::wstring> baseText =
        TerminatedText(bytes, begin, end, base, baseWide != 0, decodeAnsi);
    const std::optional<std::wstring> suffixText =
        suffix == 0 ? std::optional<std::wstring>(std::wstring())
                    : TerminatedText(bytes, begin, end, suffix, suffixWide != 0, decodeAnsi);
    if (base == 0 || !baseText || !suffixText) {
        return false;
    }
    path = *baseText + *suffixText;
    return true;
}

// The StringData from at on, each present string in the order of its flag;
// at moves past them. False when one runs past the end.
bool ReadStrings(const Bytes& bytes, std::uint32_t flags, AnsiDecoder decodeAnsi, std::size_t& at,
                 Link& out) {
    const struct {
        std::uint32_t flag;
        std::wstring* text;  // null: read past
    } strings[] = {{kHasName, nullptr},
                   {kHasRelativePath, &out.relativePath},
                   {kHasWorkingDir, &out.workingDirectory},
                   {kHasArguments, &out.arguments},
                   {kHasIconLocation, nullptr}};
    const std::size_t unit = (flags & kIsUnicode) != 0 ? 2 : 1;
    for (const auto& string : strings) {
        if ((flags & string.flag) == 0) {
            continue;
        }
        if (!Fits(bytes.size(), at, 2)) {
            return false;
        }
        const std::size_t count = Little(bytes, at, 2);
        if (!Fits(bytes.size(), at + 2, count * unit)) {
            return false;
        }
        if (string.text != nullptr) {
            *string.text = unit == 2 ? Utf16Text(bytes, at + 2, count)
                                     : decodeAnsi(AnsiText(bytes, at + 2, count));
        }
        at += 2 + count * unit;
    }
    return true;
}

// The ExtraData blocks from at on, up to the TerminalBlock or the first
// block that does not fit.
void ReadExtraData(const Bytes& bytes, std::uint32_t flags, AnsiDecoder decodeAnsi, std::size_t at,
                   Link& out) {
    while (Fits(bytes.size(), at, 8)) {
        const std::size_t size = Little(bytes, at, 4);
        if (size < 8 || !Fits(bytes.size(), at, size)) {
            return;  // the TerminalBlock (a size below 4), or a broken block
        }
        if (Little(bytes, at + 4, 4) == kEnvironmentSignature && size == kEnvironmentBlockSize &&
            (flags & kHasExpString) != 0) {
            const std::wstring wide = Utf16Text(bytes, at + 8 + kMaxPath, kMaxPath);
            out.environmentPath =
                wide.empty() ? decodeAnsi(AnsiText(bytes, at + 8, kMaxPath)) : wide;
        }
        at += size;
    }
}

}  // namespace

bool Parse(const std::vector<std::uint8_t>& bytes, AnsiDecoder decodeAnsi, Link& out) {
    out = Link();
    if (bytes.size() < kHeaderSize || Little(bytes, 0, 4) != kHeaderSize ||
        !std::equal(std::begin(kLinkClsid), std::end(kLinkClsid), bytes.begin() + kClsidAt)) {
        return false;
    }
    const std::uint32_t flags = Little(bytes, kFlagsAt, 4);
    std::size_t at = kHeaderSize;
    if ((flags & kHasLinkTargetIdList) != 0) {
        if (!Fits(bytes.size(), at, 2) || !Fits(bytes.size(), at + 2, Little(bytes, at, 2))) {
            return false;
        }
        out.hasIdList = true;
        at += 2 + Little(bytes, at, 2);
    }
    if ((flags & kHasLinkInfo) != 0) {
        const std::size_t size = Fits(bytes.size(), at, 4) ? Little(bytes, at, 4) : 0;
        std::wstring path;
        if (size < kLinkInfoHeaderSize || !Fits(bytes.size(), at, size) ||
            !ReadLinkInfo(bytes, at, at + size, decodeAnsi, path)) {
            return false;
        }
        if ((flags & kForceNoLinkInfo) == 0) {
            out.linkInfoPath = path;
        }
        at += size;
    }
    if (!ReadStrings(bytes, flags, decodeAnsi, at, out)) {
        return false;
    }
    ReadExtraData(bytes, flags, decodeAnsi, at, out);
    return true;
}

}  // namespace shell_link

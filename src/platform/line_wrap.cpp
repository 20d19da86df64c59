// Lines wrapped at spaces to a console window's width.
#include "platform/line_wrap.h"

#include <algorithm>
#include <cstdint>

namespace platform {

namespace {

// The East Asian wide and fullwidth characters of the BMP: Hangul Jamo,
// CJK punctuation, kana and ideographs, Yi, Hangul syllables and the
// fullwidth forms. The console gives each a leading and a trailing cell.
struct WideRange {
    std::uint32_t first;
    std::uint32_t last;
};
constexpr WideRange kWideRanges[] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF}, {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6},
};

// The cells ch takes. A cell holds one UTF-16 unit (CHAR_INFO), so each
// half of a surrogate pair takes one, and a wchar_t of 4 bytes holding the
// whole pair two. A combining mark is counted as a cell of its own: a row
// may end a little early, never late.
std::size_t CharColumns(wchar_t ch) {
    const auto code = static_cast<std::uint32_t>(ch);
    if (code > 0xFFFF) {
        return 2;
    }
    for (const WideRange& range : kWideRanges) {
        if (code >= range.first && code <= range.last) {
            return 2;
        }
    }
    return 1;
}

// The columns text takes.
std::size_t Columns(const std::wstring& text, std::size_t from = 0,
                    std::size_t to = std::wstring::npos) {
    std::size_t columns = 0;
    for (std::size_t i = from; i < text.size() && i < to; ++i) {
        columns += CharColumns(text[i]);
    }
    return columns;
}

// Whether the word at start begins a path: a drive's root or a share, maybe
// after a quote or a parenthesis.
bool StartsPath(const std::wstring& line, std::size_t start) {
    if (start < line.size() && (line[start] == L'"' || line[start] == L'(')) {
        ++start;
    }
    const bool drive = line.size() - start >= 3 && line[start + 1] == L':' && line[start + 2] == L'\\';
    const bool share = line.compare(start, 2, L"\\\\") == 0;
    return drive || share;
}

// The end of the unit a row may not break that starts at start: a word, or
// a path with the spaces in its folders' names ("C:\Program Files\Foo"), as
// long as the word after a space still holds a backslash.
std::size_t UnitEnd(const std::wstring& line, std::size_t start) {
    std::size_t end = std::min(line.find(L' ', start), line.size());
    if (!StartsPath(line, start)) {
        return end;
    }
    for (;;) {
        const std::size_t next = line.find_first_not_of(L' ', end);
        const std::size_t nextEnd = next == std::wstring::npos ? next : std::min(line.find(L' ', next), line.size());
        if (next == std::wstring::npos || line.find(L'\\', next) >= nextEnd) {
            return end;
        }
        end = nextEnd;
    }
}

// One line, without its line end, in rows of at most limit columns.
std::wstring WrapLine(const std::wstring& line, std::size_t limit) {
    const std::size_t first = line.find_first_not_of(L' ');
    if (Columns(line) <= limit || first == std::wstring::npos) {
        return line;
    }
    // A continuation indented so deep that little would fit starts at the
    // left instead.
    const std::wstring indent = first < limit / 2 ? line.substr(0, first) : std::wstring();
    std::wstring out = line.substr(0, first);
    std::size_t row = first;  // columns on the current row
    bool rowHasWord = false;
    std::size_t spaces = 0;  // between the last word and the next
    for (std::size_t start = first; start < line.size();) {
        const std::size_t end = UnitEnd(line, start);
        const std::size_t word = Columns(line, start, end);
        if (rowHasWord && row + spaces + word > limit) {
            out += L'\n' + indent;
            row = indent.size();
        } else {
            out.append(spaces, L' ');
            row += spaces;
        }
        out.append(line, start, end - start);
        row += word;
        rowHasWord = true;
        start = std::min(line.find_first_not_of(L' ', end), line.size());
        spaces = start - end;
    }
    if (row + spaces <= limit) {
        out.append(spaces, L' ');  // trailing spaces, where they fit
    }
    return out;
}

}  // namespace

std::wstring WrapLines(const std::wstring& text, std::size_t width) {
    if (width < 2) {
        return text;
    }
    std::wstring out;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(L'\n', start), text.size());
        out += WrapLine(text.substr(start, end - start), width - 1);
        if (end == text.size()) {
            break;
        }
        out += L'\n';
        start = end + 1;
    }
    return out;
}

std::wstring LineWrapper::Wrap(const std::wstring& piece) {
    if (width_ == 0) {
        return piece;
    }
    held_ += piece;
    const std::size_t lastEnd = held_.rfind(L'\n');
    if (lastEnd == std::wstring::npos) {
        return std::wstring();
    }
    const std::wstring lines = held_.substr(0, lastEnd + 1);
    held_.erase(0, lastEnd + 1);
    return WrapLines(lines, width_);
}

std::wstring LineWrapper::Flush() {
    std::wstring rest;
    rest.swap(held_);
    return WrapLines(rest, width_);
}

}  // namespace platform

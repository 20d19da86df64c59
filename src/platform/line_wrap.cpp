// Lines wrapped at spaces to a console window's width.
#include "platform/line_wrap.h"

#include <algorithm>

namespace platform {

namespace {

bool IsLowSurrogate(wchar_t ch) {
    return ch >= 0xDC00 && ch <= 0xDFFF;
}

// The columns text takes: one a character, a surrogate pair one in all.
std::size_t Columns(const std::wstring& text, std::size_t from = 0,
                    std::size_t to = std::wstring::npos) {
    std::size_t columns = 0;
    for (std::size_t i = from; i < text.size() && i < to; ++i) {
        columns += IsLowSurrogate(text[i]) ? 0 : 1;
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

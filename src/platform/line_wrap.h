// Lines wrapped at spaces to a console window's width, so that a sentence in
// a window of Marovendel's own never breaks in the middle of a word. Only
// that window gets it: a pipe, a file or a shared console gets the text as
// it is, byte for byte.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// text with each line wider than width - 1 columns broken at its spaces
// into rows of at most width - 1 (a row that fills the window would leave an
// empty row after it in the classic console), the spaces at each break
// dropped and each row after the first indented as the line's first is. A
// path is not broken at the spaces in its folders' names, and a word or path
// wider than a row stays whole on a row of its own. A column is a console
// cell: an East Asian wide character and a surrogate pair take two; width 0
// leaves text as it is.
std::wstring WrapLines(const std::wstring& text, std::size_t width);

// The same for text that arrives in pieces: whole lines go out wrapped as
// they complete, the unfinished one is held until its line end or Flush.
// With width 0 each piece goes out at once, as it is.
class LineWrapper {
public:
    explicit LineWrapper(std::size_t width) : width_(width) {}

    std::wstring Wrap(const std::wstring& piece);
    // The unfinished line, wrapped; the next text starts a new row.
    std::wstring Flush();

private:
    std::size_t width_;
    std::wstring held_;
};

}  // namespace platform

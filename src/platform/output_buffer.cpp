#include "platform/output_buffer.h"

#include <utility>

namespace platform {

namespace {

bool IsHighSurrogate(wchar_t ch) {
    return ch >= 0xD800 && ch <= 0xDBFF;
}

}  // namespace

OutputBuffer::OutputBuffer(std::size_t pieceChars, Sink sink)
    : pieceChars_(pieceChars < 2 ? 2 : pieceChars), sink_(std::move(sink)) {}

OutputBuffer::~OutputBuffer() {
    Flush();
}

void OutputBuffer::Append(const std::wstring& text) {
    held_ += text;
    std::size_t start = 0;
    while (held_.size() - start >= pieceChars_) {
        std::size_t end = start + pieceChars_;
        if (IsHighSurrogate(held_[end - 1])) {
            --end;  // the pair's second half may be in the next text
        }
        sink_(held_.substr(start, end - start));
        start = end;
    }
    held_.erase(0, start);
}

void OutputBuffer::Flush() {
    if (held_.empty()) {
        return;
    }
    std::wstring piece;
    piece.swap(held_);
    sink_(piece);
}

}  // namespace platform

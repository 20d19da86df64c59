// Standard output gathered into large pieces. Under Wine every write to the
// console or a pipe is a round trip to the Wine server, so writing each line
// on its own costs a long listing more than its registry reads.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

class OutputBuffer {
public:
    // Receives the pieces in order. A piece never ends between the two
    // halves of a surrogate pair, so each piece converts on its own.
    using Sink = std::function<void(const std::wstring& piece)>;

    // pieceChars (at least 2) is the most a piece holds, in UTF-16 units.
    OutputBuffer(std::size_t pieceChars, Sink sink);
    ~OutputBuffer();
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // Holds text, handing on every full piece.
    void Append(const std::wstring& text);
    // Hands on everything held.
    void Flush();

private:
    std::size_t pieceChars_;
    Sink sink_;
    std::wstring held_;
};

}  // namespace platform

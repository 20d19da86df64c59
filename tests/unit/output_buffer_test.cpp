// Standard output gathered into pieces: nothing reordered or lost, no piece
// larger than asked, and no surrogate pair split between two pieces.
#include <gtest/gtest.h>

#include <vector>

#include "platform/output_buffer.h"

namespace {

using platform::OutputBuffer;

bool IsHighSurrogate(wchar_t ch) {
    return ch >= 0xD800 && ch <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t ch) {
    return ch >= 0xDC00 && ch <= 0xDFFF;
}

TEST(OutputBufferTest, HoldsTextUntilAPieceIsFullOrItIsFlushed) {
    std::vector<std::wstring> pieces;
    OutputBuffer buffer(8, [&](const std::wstring& piece) { pieces.push_back(piece); });
    buffer.Append(L"abc");
    buffer.Append(L"def");
    EXPECT_TRUE(pieces.empty());
    buffer.Append(L"ghijklmnopqrstu");
    EXPECT_EQ(pieces, (std::vector<std::wstring>{L"abcdefgh", L"ijklmnop"}));
    buffer.Flush();
    buffer.Flush();  // nothing held: no empty piece
    EXPECT_EQ(pieces, (std::vector<std::wstring>{L"abcdefgh", L"ijklmnop", L"qrstu"}));
    buffer.Append(L"v");
    EXPECT_EQ(pieces.size(), 3u);
}

TEST(OutputBufferTest, TextThatFillsAPieceExactlyGoesOutAtOnce) {
    std::vector<std::wstring> pieces;
    OutputBuffer buffer(4, [&](const std::wstring& piece) { pieces.push_back(piece); });
    buffer.Append(L"abcd");
    EXPECT_EQ(pieces, (std::vector<std::wstring>{L"abcd"}));
    buffer.Flush();  // at the boundary nothing is held
    buffer.Append(L"ef");
    buffer.Append(L"gh");
    EXPECT_EQ(pieces, (std::vector<std::wstring>{L"abcd", L"efgh"}));
}

TEST(OutputBufferTest, ASurrogatePairIsNeverSplitWhereverItFalls) {
    // UTF-16 halves written as separate texts, as two Print calls could.
    const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    for (std::size_t at = 0; at < 12; ++at) {
        SCOPED_TRACE(at);
        const std::wstring text = std::wstring(at, L'a') + pair + L"bcdefg" + pair;
        std::vector<std::wstring> pieces;
        {
            OutputBuffer buffer(5, [&](const std::wstring& piece) { pieces.push_back(piece); });
            for (wchar_t ch : text) {
                buffer.Append(std::wstring(1, ch));
            }
        }  // the buffer flushes as it goes away
        std::wstring joined;
        for (const std::wstring& piece : pieces) {
            joined += piece;
            EXPECT_FALSE(piece.empty());
            EXPECT_LE(piece.size(), 5u);
            EXPECT_FALSE(IsHighSurrogate(piece.back())) << "a piece ends inside a pair";
            EXPECT_FALSE(IsLowSurrogate(piece.front())) << "a piece starts inside a pair";
        }
        EXPECT_EQ(joined, text);
        for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
            EXPECT_GE(pieces[i].size(), 4u) << "a piece went out before it was full";
        }
    }
}

}  // namespace

#pragma once

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "activity/TranscriptFile.h"

namespace brimlet {

// How far a transcript has been read: every line before `offset` is dealt with, and no line feed
// lies in [offset, searched), where a line is still being written or is too long to be read.
struct ReadPosition {
    std::uint64_t offset = 0;
    std::uint64_t searched = 0;

    // Nothing read yet, from `offset` on.
    [[nodiscard]] static ReadPosition at(std::uint64_t offset) { return {offset, offset}; }
};

struct ReadBounds {
    std::size_t pieceBytes;   // the longest piece, and so the longest line read
    std::uint64_t readBytes;  // the most read in one call; the rest waits for the next
};

// Reads the complete lines among the bytes of `file` from `from` up to `to` and hands them to
// `onPiece` in pieces of at most `bounds.pieceBytes`, each ending with a line feed, so memory stays
// bounded however much was appended. A line still missing its line feed is left for a later call,
// which looks for its end from where this one stopped looking; a longer line than a piece is
// passed over unread once its end is found. Every byte is read at most twice, however often the
// call is repeated while a line grows; holes of a sparse file are not read at all. Returns where
// reading stands.
[[nodiscard]] ReadPosition readWholeLines(const TranscriptFile& file, ReadPosition from,
                                          std::uint64_t to, ReadBounds bounds,
                                          const std::function<void(QByteArrayView)>& onPiece);

}  // namespace brimlet

#pragma once

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace brimlet {

// Reads the complete lines among the bytes [from, to) of the file at `path` and hands them to
// `onPiece` in pieces of at most `pieceBytes`, each ending with a line feed, so memory stays
// bounded however much was appended. A last line still missing its line feed is left for a later
// call. A line longer than a whole piece is passed over unread once its line feed is there.
// Returns the offset just past the last line feed dealt with, which is `from` when nothing could
// be read. The file is open only during the call.
[[nodiscard]] std::uint64_t readWholeLines(const std::string& path, std::uint64_t from,
                                           std::uint64_t to, std::size_t pieceBytes,
                                           const std::function<void(QByteArrayView)>& onPiece);

}  // namespace brimlet

#include "activity/WholeLineReader.h"

#include <sys/mman.h>

#include <algorithm>
#include <optional>

namespace brimlet {
namespace {

// The first look for a line's end reads this much: a line feed is usually near.
constexpr std::size_t kFirstSearchBytes = 64 * 1024;

// Memory for the pieces, mapped apart from the heap so that all of it goes back to the system
// when the read ends: a burst must leave the process no larger than it was.
class PieceBuffer {
  public:
    explicit PieceBuffer(std::size_t size)
        : size_(size),
          bytes_(
              ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {}
    ~PieceBuffer() {
        if (isMapped()) {
            ::munmap(bytes_, size_);
        }
    }
    PieceBuffer(const PieceBuffer&) = delete;
    PieceBuffer& operator=(const PieceBuffer&) = delete;

    [[nodiscard]] bool isMapped() const { return bytes_ != MAP_FAILED; }
    [[nodiscard]] char* data() const { return static_cast<char*>(bytes_); }
    [[nodiscard]] std::size_t size() const { return size_; }

  private:
    std::size_t size_;
    void* bytes_;
};

// The reads of one call, into one buffer, within one budget.
class Reads {
  public:
    Reads(const TranscriptFile& file, std::size_t bufferBytes, std::uint64_t budget)
        : file_(file), buffer_(bufferBytes), budget_(budget) {}

    [[nodiscard]] bool canRead() const { return buffer_.isMapped() && budget_ > 0; }
    [[nodiscard]] std::size_t bufferSize() const { return buffer_.size(); }
    [[nodiscard]] const TranscriptFile& file() const { return file_; }

    // Up to `size` bytes from `offset` (less within the budget), or fewer where the file ends or
    // the read fails.
    QByteArrayView read(std::size_t size, std::uint64_t offset) {
        size = std::min<std::uint64_t>({size, buffer_.size(), budget_});
        const std::size_t got = file_.readAt(buffer_.data(), size, offset);
        budget_ -= got;
        wasShort_ = got < size;
        return {buffer_.data(), static_cast<qsizetype>(got)};
    }
    // Whether the last read gave fewer bytes than it asked for: a failure, tried again later.
    [[nodiscard]] bool wasShort() const { return wasShort_; }

  private:
    const TranscriptFile& file_;
    PieceBuffer buffer_;
    std::uint64_t budget_;
    bool wasShort_ = false;
};

struct Search {
    std::optional<std::uint64_t> lineFeed;
    std::uint64_t searched;  // no line feed before this, when none was found
};

// The first line feed in [from, to), looked for in growing steps, holes passed over.
Search nextLineFeed(Reads& reads, std::uint64_t from, std::uint64_t to) {
    std::size_t step = std::min(kFirstSearchBytes, reads.bufferSize());
    while ((from = reads.file().dataFrom(from, to)) < to && reads.canRead()) {
        const QByteArrayView got = reads.read(std::min<std::uint64_t>(step, to - from), from);
        if (const qsizetype feed = got.indexOf('\n'); feed >= 0) {
            return {from + static_cast<std::uint64_t>(feed), from};
        }
        from += static_cast<std::uint64_t>(got.size());
        if (reads.wasShort()) {
            break;
        }
        step = std::min(step * 2, reads.bufferSize());
    }
    return {std::nullopt, std::min(from, to)};
}

}  // namespace

ReadPosition readWholeLines(const TranscriptFile& file, ReadPosition from, std::uint64_t to,
                            ReadBounds bounds, const std::function<void(QByteArrayView)>& onPiece) {
    ReadPosition at = from;
    if (at.searched >= to) {
        return at;
    }
    Reads reads(file, std::min<std::uint64_t>(bounds.pieceBytes, to - at.offset), bounds.readBytes);
    while (at.searched < to && reads.canRead()) {
        if (at.searched > at.offset) {
            // A line begun earlier: its end is looked for from where the last look stopped, and
            // the line read once, when it is there and fits a piece.
            const Search search = nextLineFeed(reads, at.searched, to);
            if (!search.lineFeed) {
                at.searched = search.searched;
                break;
            }
            const std::uint64_t lineEnd = *search.lineFeed + 1;
            const std::uint64_t length = lineEnd - at.offset;
            if (length <= reads.bufferSize()) {
                const QByteArrayView line = reads.read(length, at.offset);
                if (static_cast<std::uint64_t>(line.size()) < length) {
                    at.searched = *search.lineFeed;  // a failed read, or the budget spent
                    break;
                }
                onPiece(line);
            }
            at = ReadPosition::at(lineEnd);
            continue;
        }
        const QByteArrayView piece = reads.read(to - at.offset, at.offset);
        const qsizetype lastFeed = piece.lastIndexOf('\n');
        if (lastFeed < 0) {
            at.searched = at.offset + static_cast<std::uint64_t>(piece.size());
            if (reads.wasShort()) {
                break;
            }
            continue;
        }
        onPiece(piece.first(lastFeed + 1));
        const std::uint64_t pieceEnd = at.offset + static_cast<std::uint64_t>(piece.size());
        at.offset += static_cast<std::uint64_t>(lastFeed) + 1;
        // The unfinished line after it is read again with the next piece; at the end, it is
        // looked at no more until the file grows.
        at.searched = pieceEnd == to ? to : at.offset;
    }
    return at;
}

}  // namespace brimlet

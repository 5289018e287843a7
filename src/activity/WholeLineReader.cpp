#include "activity/WholeLineReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

namespace brimlet {
namespace {

// A file descriptor opened for reading, closed when it goes.
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(const std::string& path)
        : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    [[nodiscard]] bool isOpen() const { return descriptor_ >= 0; }

    // Fills `into` from `offset` as far as the file goes; fewer bytes at its end or on a failure.
    [[nodiscard]] std::size_t readAt(char* into, std::size_t size, std::uint64_t offset) const {
        std::size_t filled = 0;
        while (filled < size) {
            const ssize_t got = ::pread(descriptor_, into + filled, size - filled,
                                        static_cast<off_t>(offset + filled));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        return filled;
    }

  private:
    int descriptor_;
};

struct Buffer {
    std::unique_ptr<char[]> bytes;
    std::size_t size;
};

// Offset of the first line feed in [from, to), looked for piece by piece.
std::optional<std::uint64_t> nextLineFeed(const ReadOnlyFile& file, const Buffer& buffer,
                                          std::uint64_t from, std::uint64_t to) {
    while (from < to) {
        const std::size_t want = std::min<std::uint64_t>(buffer.size, to - from);
        const std::size_t got = file.readAt(buffer.bytes.get(), want, from);
        const qsizetype feed = QByteArrayView(buffer.bytes.get(), got).indexOf('\n');
        if (feed >= 0) {
            return from + feed;
        }
        if (got < want) {
            break;
        }
        from += got;
    }
    return std::nullopt;
}

}  // namespace

std::uint64_t readWholeLines(const std::string& path, std::uint64_t from, std::uint64_t to,
                             std::size_t pieceBytes,
                             const std::function<void(QByteArrayView)>& onPiece) {
    const ReadOnlyFile file(path);
    if (!file.isOpen() || from >= to) {
        return from;
    }
    const std::size_t bufferSize = std::min<std::uint64_t>(pieceBytes, to - from);
    const Buffer buffer{std::make_unique_for_overwrite<char[]>(bufferSize), bufferSize};
    std::uint64_t position = from;
    while (position < to) {
        const std::size_t want = std::min<std::uint64_t>(buffer.size, to - position);
        const std::size_t got = file.readAt(buffer.bytes.get(), want, position);
        const QByteArrayView piece(buffer.bytes.get(), static_cast<qsizetype>(got));
        const qsizetype lastFeed = piece.lastIndexOf('\n');
        if (lastFeed >= 0) {
            onPiece(piece.first(lastFeed + 1));
            position += static_cast<std::uint64_t>(lastFeed) + 1;
        } else if (got < pieceBytes) {
            break;  // an unfinished line, or a failed read: both are tried again later
        } else {
            const std::optional<std::uint64_t> lineEnd =
                nextLineFeed(file, buffer, position + got, to);
            if (!lineEnd) {
                break;
            }
            position = *lineEnd + 1;
        }
    }
    return position;
}

}  // namespace brimlet

#include "activity/TranscriptFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QHashFunctions>
#include <algorithm>
#include <cerrno>

namespace brimlet {
namespace {

// Enough of the lines before a read position to tell them from others: a line's last few bytes
// are often alike ("…false}}"), the ones before them seldom.
constexpr std::size_t kFingerprintBytes = 256;

}  // namespace

// Without O_NONBLOCK, a FIFO put in a transcript's place would hold the worker in open() until
// someone wrote to it; for a regular file the flag changes nothing.
TranscriptFile::TranscriptFile(const std::string& path)
    : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}

TranscriptFile::~TranscriptFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::optional<FileStatus> TranscriptFile::status() const {
    return openFileStatus(descriptor_);
}

std::size_t TranscriptFile::readAt(char* into, std::size_t size, std::uint64_t offset) const {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got =
            ::pread(descriptor_, into + filled, size - filled, static_cast<off_t>(offset + filled));
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

std::uint64_t TranscriptFile::dataFrom(std::uint64_t offset, std::uint64_t end) const {
    const off_t data = ::lseek(descriptor_, static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0) {
        // No data after `offset` (ENXIO); any other failure: read on as if there were.
        return errno == ENXIO ? end : offset;
    }
    return std::clamp(static_cast<std::uint64_t>(data), offset, end);
}

std::optional<std::uint64_t> TranscriptFile::fingerprintBefore(std::uint64_t offset) const {
    const std::size_t size = std::min<std::uint64_t>(offset, kFingerprintBytes);
    char bytes[kFingerprintBytes];
    if (size == 0 || readAt(bytes, size, offset - size) != size) {
        return std::nullopt;
    }
    return qHashBits(bytes, size);
}

}  // namespace brimlet

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "activity/FileStatus.h"

namespace brimlet {

// A transcript opened for reading, closed when it goes.
class TranscriptFile {
  public:
    explicit TranscriptFile(const std::string& path);
    ~TranscriptFile();
    TranscriptFile(const TranscriptFile&) = delete;
    TranscriptFile& operator=(const TranscriptFile&) = delete;

    // Of the file as opened, which need not be the one at its path any more.
    [[nodiscard]] std::optional<FileStatus> status() const;
    // Fills `into` from `offset` as far as the file goes; fewer bytes at its end or on a failure.
    [[nodiscard]] std::size_t readAt(char* into, std::size_t size, std::uint64_t offset) const;
    // Where data may stand again at or after `offset`, before `end`: a hole in a sparse file reads
    // as zeros and holds no line, so it need not be read.
    [[nodiscard]] std::uint64_t dataFrom(std::uint64_t offset, std::uint64_t end) const;
    // A fingerprint of the bytes just before `offset`, to tell later whether they were rewritten;
    // nothing when there are none or they can't be read.
    [[nodiscard]] std::optional<std::uint64_t> fingerprintBefore(std::uint64_t offset) const;

  private:
    int descriptor_;
};

}  // namespace brimlet

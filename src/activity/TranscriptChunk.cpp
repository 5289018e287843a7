#include "activity/TranscriptChunk.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "base/ByteVectors.h"
#include "base/Utf8Validation.h"

namespace brimlet {
namespace {

constexpr char kQuotedKey[] = "\"output_tokens\"";
constexpr qsizetype kKeyLength = sizeof kQuotedKey - 1;
// A 'k' is rare in transcripts; where one stands, a key may start this far before it.
constexpr qsizetype kLetterKAt = 10;

bool isKeyAt(const char* at) {
    return std::memcmp(at, kQuotedKey, kKeyLength) == 0;
}

// One pass over a chunk, a block at a time: the block read for the UTF-8 check also gives the
// places of its letters 'k', and only there is the key compared in full. A line holding the key is
// read at once, while its bytes are still in the cache; if the chunk turns out not to be UTF-8,
// what was read is thrown away.
class ChunkReader {
  public:
    explicit ChunkReader(QByteArrayView chunk)
        : begin_(chunk.data()), end_(begin_ + chunk.size()), lineStart_(begin_) {}

    std::vector<LineUsage> read() {
        int carried = 0;  // bytes at the block's start that continue a checked UTF-8 sequence
        const char* at = begin_;
        for (; end_ - at >= bytes::kBlockBytes; at += bytes::kBlockBytes) {
            const bytes::Block block = bytes::loadBlock(at);
            const bytes::Vector merged =
                block.lanes[0] | block.lanes[1] | block.lanes[2] | block.lanes[3];
            // Most blocks are ASCII without a 'k': one mask tells.
            if (bytes::laneBits(merged | lettersK(block)) == 0) {
                continue;
            }
            // Rare from here on: the block is loaded again rather than kept across calls, which
            // would hold it in memory for every block.
            if (!checkUtf8(merged, at, carried)) {
                return {};
            }
            readKeysIn(at);
        }
        const char* checked = at + carried;
        if (!checkUtf8Until(checked, end_, end_)) {
            return {};
        }
        for (const char* letter = at; letter < end_; ++letter) {
            if (*letter == 'k') {
                readLineOfKeyAt(letter - kLetterKAt);
            }
        }
        return std::move(usages_);
    }

  private:
    static bytes::Vector isK(bytes::Vector v) { return v == bytes::splat('k'); }

    static bytes::Vector lettersK(const bytes::Block& block) {
        return isK(block.lanes[0]) | isK(block.lanes[1]) | isK(block.lanes[2]) |
               isK(block.lanes[3]);
    }

    bool checkUtf8(bytes::Vector merged, const char* at, int& carried) const {
        if (bytes::laneBits(merged) == 0) {
            return true;
        }
        const std::uint64_t nonAscii =
            bytes::blockBits(bytes::loadBlock(at), [](bytes::Vector v) { return v; });
        return checkUtf8Block(at, nonAscii, end_, carried);
    }

    void readKeysIn(const char* at) {
        const bytes::Block block = bytes::loadBlock(at);
        if (bytes::laneBits(lettersK(block)) == 0) {
            return;
        }
        for (std::uint64_t ks = bytes::blockBits(block, isK); ks != 0; ks &= ks - 1) {
            readLineOfKeyAt(at + std::countr_zero(ks) - kLetterKAt);
        }
    }

    // A key holds no line feed, so it lies in one line: from just past the line feed before it
    // (searched back a vector at a time, over bytes just scanned) to the one after it.
    void readLineOfKeyAt(const char* place) {
        if (place < lineStart_ || end_ - place < kKeyLength || !isKeyAt(place)) {
            return;  // no key, or a second one in a line already read
        }
        lineStart_ = lineFeedBefore(place, lineStart_) + 1;
        const char* const lineEnd = lineFeedFrom(place + kKeyLength);
        if (const auto usage = lineUsage(QByteArrayView(lineStart_, lineEnd))) {
            usages_.push_back(*usage);
        }
        lineStart_ = lineEnd + 1;
    }

    // The last line feed before `at` and not before `floor`, or floor - 1 when there is none.
    static const char* lineFeedBefore(const char* at, const char* floor) {
        while (at - floor >= bytes::kVectorBytes) {
            at -= bytes::kVectorBytes;
            const unsigned feeds = bytes::laneBits(bytes::load(at) == bytes::splat('\n'));
            if (feeds != 0) {
                return at + (31 - std::countl_zero(feeds));
            }
        }
        while (at > floor && at[-1] != '\n') {
            --at;
        }
        return at - 1;
    }

    [[nodiscard]] const char* lineFeedFrom(const char* from) const {
        const void* const feed = std::memchr(from, '\n', static_cast<std::size_t>(end_ - from));
        return feed != nullptr ? static_cast<const char*>(feed) : end_;
    }

    const char* const begin_;
    const char* const end_;
    const char* lineStart_;  // no line before it holds a key still to be read
    std::vector<LineUsage> usages_;
};

}  // namespace

std::vector<LineUsage> chunkUsages(QByteArrayView chunk) {
    return ChunkReader(chunk).read();
}

}  // namespace brimlet

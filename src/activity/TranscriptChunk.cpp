#include "activity/TranscriptChunk.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#include "activity/LineUsage.h"
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
// read at once, while its bytes are still in the cache, and counted once the check has passed its
// end; a malformed sequence drops the line it stands in, and the scan goes on after that line.
class ChunkReader {
  public:
    ChunkReader(QByteArrayView chunk, ReplyLedger& replies)
        : begin_(chunk.data()),
          end_(begin_ + chunk.size()),
          lineStart_(begin_),
          replies_(replies) {}

    TokenSums read() {
        int carried = 0;  // bytes at the block's start that continue a checked UTF-8 sequence
        const char* at = begin_;
        while (end_ - at >= bytes::kBlockBytes) {
            const bytes::Block block = bytes::loadBlock(at);
            const bytes::Vector merged =
                block.lanes[0] | block.lanes[1] | block.lanes[2] | block.lanes[3];
            // Most blocks are ASCII without a 'k': one mask tells.
            if (bytes::laneBits(merged | lettersK(block)) == 0) {
                at += bytes::kBlockBytes;
                continue;
            }
            // Rare from here on: the block is loaded again rather than kept across calls, which
            // would hold it in memory for every block.
            const char* const malformed = malformedIn(merged, at, carried);
            readKeysIn(at, malformed == nullptr ? bytes::kBlockBytes : int(malformed - at));
            if (malformed == nullptr) {
                at += bytes::kBlockBytes;
            } else {
                at = skipLineOf(malformed);
                carried = 0;
            }
        }
        readTail(at, at + carried);
        commit();
        return sums_;
    }

  private:
    static bytes::Vector isK(bytes::Vector v) { return v == bytes::splat('k'); }

    static bytes::Vector lettersK(const bytes::Block& block) {
        return isK(block.lanes[0]) | isK(block.lanes[1]) | isK(block.lanes[2]) |
               isK(block.lanes[3]);
    }

    [[nodiscard]] const char* malformedIn(bytes::Vector merged, const char* at,
                                          int& carried) const {
        if (bytes::laneBits(merged) == 0) {
            return nullptr;
        }
        const std::uint64_t nonAscii =
            bytes::blockBits(bytes::loadBlock(at), [](bytes::Vector v) { return v; });
        return firstMalformedUtf8InBlock(at, nonAscii, end_, carried);
    }

    // The keys whose letter 'k' stands among the first `count` bytes of the block at `at`.
    void readKeysIn(const char* at, int count) {
        const bytes::Block block = bytes::loadBlock(at);
        if (bytes::laneBits(lettersK(block)) == 0) {
            return;
        }
        const std::uint64_t ks = bytes::blockBits(block, isK) & bytes::bitsBelow(count);
        for (std::uint64_t k = ks; k != 0; k &= k - 1) {
            readLineOfKeyWithK(at + std::countr_zero(k));
        }
    }

    // The last bytes, fewer than a block, from `at`; those before `checked` are checked already.
    void readTail(const char* at, const char* checked) {
        while (true) {
            const char* const malformed = firstMalformedUtf8(checked, end_);
            for (const char* letter = at; letter < (malformed ? malformed : end_); ++letter) {
                if (*letter == 'k') {
                    readLineOfKeyWithK(letter);
                }
            }
            if (malformed == nullptr) {
                return;
            }
            at = checked = skipLineOf(malformed);
        }
    }

    // A key holds no line feed, so it lies in one line: from just past the line feed before it
    // (searched back a vector at a time, over bytes just scanned) to the one after it. Distances
    // are measured before the key's start is formed, which must lie within the chunk.
    void readLineOfKeyWithK(const char* letter) {
        if (letter - lineStart_ < kLetterKAt || end_ - letter < kKeyLength - kLetterKAt) {
            return;  // no room for a key, or a second one in a line already read
        }
        const char* const place = letter - kLetterKAt;
        if (!isKeyAt(place)) {
            return;
        }
        commit();  // the line read before ends before this one: the check has passed it
        lineStart_ = lineStartBefore(place, lineStart_);
        const char* const lineEnd = lineFeedFrom(place + kKeyLength);
        std::optional<LineUsage> usage = lineUsage(QByteArrayView(lineStart_, lineEnd));
        hasPending_ = usage.has_value();
        if (usage) {
            pending_ = std::move(*usage);
        }
        pendingEnd_ = lineEnd;
        lineStart_ = lineEnd == end_ ? end_ : lineEnd + 1;
    }

    void commit() {
        if (hasPending_) {
            (pending_.isFable ? sums_.fable : sums_.opus) += replies_.counted(pending_);
            hasPending_ = false;
        }
    }

    // Drops the line that holds `malformed` and returns where the next line starts.
    const char* skipLineOf(const char* malformed) {
        if (hasPending_ && malformed < pendingEnd_) {
            hasPending_ = false;
        }
        const char* const feed = lineFeedFrom(malformed);
        const char* const next = feed == end_ ? end_ : feed + 1;
        lineStart_ = std::max(lineStart_, next);
        return next;
    }

    // Where the line holding `at` starts, not before `floor`: just past the last line feed before
    // it, or `floor` when there is none.
    static const char* lineStartBefore(const char* at, const char* floor) {
        while (at - floor >= bytes::kVectorBytes) {
            at -= bytes::kVectorBytes;
            const unsigned feeds = bytes::laneBits(bytes::load(at) == bytes::splat('\n'));
            if (feeds != 0) {
                return at + (31 - std::countl_zero(feeds)) + 1;
            }
        }
        while (at > floor && at[-1] != '\n') {
            --at;
        }
        return at;
    }

    [[nodiscard]] const char* lineFeedFrom(const char* from) const {
        const void* const feed = std::memchr(from, '\n', static_cast<std::size_t>(end_ - from));
        return feed != nullptr ? static_cast<const char*>(feed) : end_;
    }

    const char* const begin_;
    const char* const end_;
    const char* lineStart_;  // no line before it holds a key still to be read
    // The last line read, until the check has passed its end. Not an optional: GCC 12 takes the
    // id inside an engaged optional for uninitialised.
    LineUsage pending_;
    bool hasPending_ = false;
    const char* pendingEnd_ = nullptr;
    ReplyLedger& replies_;
    TokenSums sums_;
};

}  // namespace

TokenSums chunkTokens(QByteArrayView chunk, ReplyLedger& replies) {
    return ChunkReader(chunk, replies).read();
}

}  // namespace brimlet

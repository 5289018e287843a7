#include "base/Utf8Validation.h"

#include <array>
#include <bit>

#include "base/ByteVectors.h"

namespace brimlet {
namespace {

using Byte = unsigned char;

bool isContinuation(Byte byte) {
    return (byte & 0xC0) == 0x80;
}

// The allowed range of the second byte depends on the lead byte; that is where overlong forms,
// surrogates and code points above U+10FFFF are refused. Later bytes are plain continuations.
struct LeadRule {
    int length = 0;  // 0: not a lead byte
    Byte secondMin = 0;
    Byte secondMax = 0;
};

constexpr std::array<LeadRule, 256> kLeadRules = [] {
    std::array<LeadRule, 256> rules{};
    const auto set = [&rules](int first, int last, LeadRule rule) {
        for (int lead = first; lead <= last; ++lead) {
            rules[lead] = rule;
        }
    };
    set(0xC2, 0xDF, {2, 0x80, 0xBF});
    set(0xE0, 0xE0, {3, 0xA0, 0xBF});
    set(0xE1, 0xEC, {3, 0x80, 0xBF});
    set(0xED, 0xED, {3, 0x80, 0x9F});
    set(0xEE, 0xEF, {3, 0x80, 0xBF});
    set(0xF0, 0xF0, {4, 0x90, 0xBF});
    set(0xF1, 0xF3, {4, 0x80, 0xBF});
    set(0xF4, 0xF4, {4, 0x80, 0x8F});
    return rules;
}();

// Length of the well-formed multi-byte sequence starting at `at`, or 0 when it is malformed.
// Three-byte sequences led by E1…EC (most of Hangul and of CJK) have no special second-byte
// range and are let through first.
inline int sequenceLength(const Byte* at, const Byte* end) {
    if (at[0] >= 0xE1 && at[0] <= 0xEC && end - at >= 3 && isContinuation(at[1]) &&
        isContinuation(at[2])) {
        return 3;
    }
    const LeadRule& rule = kLeadRules[at[0]];
    if (rule.length == 0 || end - at < rule.length) {
        return 0;
    }
    if (at[1] < rule.secondMin || at[1] > rule.secondMax) {
        return 0;
    }
    for (int i = 2; i < rule.length; ++i) {
        if (!isContinuation(at[i])) {
            return 0;
        }
    }
    return rule.length;
}

// The first byte from `at` that is not ASCII (its top bit set), or `end`.
const Byte* skipAscii(const Byte* at, const Byte* end) {
    const auto* text = reinterpret_cast<const char*>(at);
    const auto* const textEnd = reinterpret_cast<const char*>(end);
    while (textEnd - text >= bytes::kBlockBytes) {
        const bytes::Block block = bytes::loadBlock(text);
        const bytes::Vector merged =
            block.lanes[0] | block.lanes[1] | block.lanes[2] | block.lanes[3];
        if (bytes::laneBits(merged) != 0) {
            break;
        }
        text += bytes::kBlockBytes;
    }
    while (textEnd - text >= bytes::kVectorBytes) {
        if (const unsigned high = bytes::laneBits(bytes::load(text)); high != 0) {
            return reinterpret_cast<const Byte*>(text) + std::countr_zero(high);
        }
        text += bytes::kVectorBytes;
    }
    at = reinterpret_cast<const Byte*>(text);
    while (at < end && *at < 0x80) {
        ++at;
    }
    return at;
}

}  // namespace

const char* firstMalformedUtf8(const char* at, const char* end) {
    const auto* byte = reinterpret_cast<const Byte*>(at);
    const auto* const byteEnd = reinterpret_cast<const Byte*>(end);
    // Transcripts are mostly ASCII, passed over a vector at a time; the rest goes by sequences.
    while (byte < byteEnd) {
        if (*byte < 0x80) {
            byte = skipAscii(byte, byteEnd);
            continue;
        }
        const int length = sequenceLength(byte, byteEnd);
        if (length == 0) {
            return reinterpret_cast<const char*>(byte);
        }
        byte += length;
    }
    return nullptr;
}

const char* firstMalformedUtf8InBlock(const char* block, std::uint64_t nonAscii, const char* end,
                                      int& carried) {
    // Only lead bytes are looked at; the bits of each sequence's continuations are cleared.
    nonAscii &= ~bytes::bitsBelow(carried);
    carried = 0;
    while (nonAscii != 0) {
        const int lead = std::countr_zero(nonAscii);
        const auto* const at = reinterpret_cast<const Byte*>(block + lead);
        const int length = sequenceLength(at, reinterpret_cast<const Byte*>(end));
        if (length == 0) {
            return block + lead;
        }
        const int next = lead + length;
        if (next >= bytes::kBlockBytes) {
            carried = next - bytes::kBlockBytes;
            return nullptr;
        }
        nonAscii &= ~bytes::bitsBelow(next);
    }
    return nullptr;
}

bool isValidUtf8(QByteArrayView bytes) {
    const char* const end = bytes.data() + bytes.size();
    return firstMalformedUtf8(bytes.data(), end) == nullptr;
}

}  // namespace brimlet

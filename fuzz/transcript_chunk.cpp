// The block-wise transcript reader against a plain one: the chunk split at line feeds, where a
// line counts when it holds the quoted key, is UTF-8 and reads as a usage line, and adds what its
// reply's highest count grew by.
#include <QByteArrayView>
#include <cstdint>
#include <cstdlib>

#include "activity/LineUsage.h"
#include "activity/TranscriptChunk.h"
#include "base/Utf8Validation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView chunk(reinterpret_cast<const char*>(data), qsizetype(size));
    brimlet::TokenSums expected;
    brimlet::ReplyLedger lineByLine;
    for (qsizetype start = 0; start <= chunk.size();) {
        qsizetype end = chunk.indexOf('\n', start);
        end = end < 0 ? chunk.size() : end;
        const QByteArrayView line = chunk.sliced(start, end - start);
        if (line.contains(QByteArrayView("\"output_tokens\"")) && brimlet::isValidUtf8(line)) {
            if (const auto usage = brimlet::lineUsage(line)) {
                (usage->isFable ? expected.fable : expected.opus) += lineByLine.counted(*usage);
            }
        }
        start = end + 1;
    }
    brimlet::ReplyLedger replies;
    const brimlet::TokenSums sums = brimlet::chunkTokens(chunk, replies);
    if (sums.opus != expected.opus || sums.fable != expected.fable) {
        std::abort();
    }
    return 0;
}

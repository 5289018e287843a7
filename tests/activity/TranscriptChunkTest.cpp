#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringBuilder>

#include "activity/TranscriptChunk.h"

namespace brimlet {
namespace {

QByteArray usageLine(const char* model, int tokens) {
    return R"({"message":{"model":")" + QByteArray(model) + R"(","usage":{"output_tokens":)" +
           QByteArray::number(tokens) + "}}}";
}

TEST(TranscriptChunkTest, SumsTheQualifyingLines) {
    const QByteArray opus1 = usageLine("opus", 1);
    const QByteArray opus3 = usageLine("opus", 3);
    const struct {
        QByteArray chunk;
        double opus;
        double fable = 0;
    } cases[] = {
        {opus1 + "\n" + usageLine("fable", 2) + "\n\n\n" + opus3, 4, 2},
        {opus1 + "\r\n" + usageLine("sonnet", 5) + "\r\n", 1},
        // The key only in prose, or inside a string: not parsed as the key.
        {R"({"text":"output_tokens","message":{"model":"opus","usage":{"output_tokens ":9}}})", 0},
        {R"({"text":"the key \"output_tokens\" escaped"})", 0},
        {R"({"message":{"model":"opus","usage":{"output_tokens" : 6}}})", 6},
        {opus3.left(20) + "\n" + opus3.mid(20) + "\n", 0},  // a line cut in two
        // Two keys in one line: one line, one usage.
        {R"({"output_tokens":5,"message":{"model":"opus","usage":{"output_tokens":4}}})", 4},
        // A line that is not UTF-8 is skipped; the lines around it count.
        {opus1 + "\n" + usageLine("opus\xFF", 5) + "\n" + opus3 + "\n", 4},
        {opus1 + "\n" + opus3 + "\n\xE3\x80", 4},
    };
    for (const auto& c : cases) {
        ReplyLedger replies;
        const TokenSums sums = chunkTokens(c.chunk, replies);
        EXPECT_EQ(sums.opus, c.opus) << c.chunk.toStdString();
        EXPECT_EQ(sums.fable, c.fable) << c.chunk.toStdString();
    }
}

// A usage line counts only when it is well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF, no sequence cut short. Each sequence stands in the line at every offset
// around the 16- and 64-byte steps of the scan, so that the vector paths and the byte-wise paths
// both see it (and the key too lands at every place across the blocks), before the key and after
// it, alone and between two lines that count whatever it holds.
TEST(TranscriptChunkTest, CountsALineOnlyWhenItIsUtf8) {
    const struct {
        QByteArray bytes;
        bool valid;
    } cases[] = {
        {"caf\xC3\xA9 \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", true},  // café 한국어
        {"\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF \xEF\xBF\xBF", true},    // U+1F600 U+10FFFF U+FFFF
        {"\xC0\x80", false},                                         // overlong NUL
        {"\xE0\x9F\xBF", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xED\xA0\x80", false},  // a surrogate
        {"\xF4\x90\x80\x80", false},
        {"\xFF", false},
        {"\x80", false},  // a stray continuation
        {"\xE3\x80x", false},
        {"\xC3\xA9\xA9", false},
    };
    const QByteArray clean = usageLine("opus", 1);
    for (const auto& c : cases) {
        for (int offset = 0; offset < 140; ++offset) {
            const QByteArray pad = R"("pad":")" + QByteArray(offset, 'a') + c.bytes + '"';
            // Before the key, and after it, where it is met once the line has been read.
            const QByteArray lines[] = {'{' + pad + ',' + clean.mid(1),
                                        clean.chopped(1) + ',' + pad + '}'};
            for (const QByteArray& line : lines) {
                SCOPED_TRACE(line.toHex().toStdString());
                ReplyLedger replies;
                EXPECT_EQ(chunkTokens(line, replies).opus, c.valid ? 1 : 0);
                EXPECT_EQ(chunkTokens(QByteArray(clean + "\n" + line + "\n" + clean), replies).opus,
                          c.valid ? 3 : 2);
            }
        }
    }
}

}  // namespace
}  // namespace brimlet

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

std::vector<double> tokensOf(const std::vector<LineUsage>& usages) {
    std::vector<double> tokens;
    for (const LineUsage& usage : usages) {
        tokens.push_back(usage.isFable ? -usage.tokens : usage.tokens);  // Fable as negative
    }
    return tokens;
}

TEST(TranscriptChunkTest, ReadsTheQualifyingLinesInOrder) {
    const QByteArray opus1 = usageLine("opus", 1);
    const QByteArray fable2 = usageLine("fable", 2);
    const QByteArray opus3 = usageLine("opus", 3);
    const QByteArray prose = R"({"text":"mentions output_tokens in prose"})";
    const QByteArray quoted = R"({"text":"the key \"output_tokens\" escaped"})";
    const QByteArray broken = R"({"message":{"model":"opus","usage":{"output_tokens":9}})";
    const struct {
        QByteArray chunk;
        std::vector<double> tokens;
    } cases[] = {
        {opus1 + "\n" + fable2 + "\n" + opus3 + "\n", {1, -2, 3}},
        {"\n\n" + opus1 + "\n\n\n" + opus3, {1, 3}},
        {opus1 + "\r\n" + opus3 + "\r\n", {1, 3}},
        {prose + "\n" + quoted + "\n" + opus1 + "\n", {1}},
        {broken + "\n" + opus3 + "\n", {3}},
        {opus3.left(20) + "\n" + opus3.mid(20) + "\n", {}},  // a line cut in two
        {R"({"output_tokens":5,"message":{"model":"opus","usage":{"output_tokens":4}}})"
         "\n",
         {4}},  // two keys in one line: one line, one usage
        {usageLine("sonnet", 5) + "\n" + opus1, {1}},
        {"", {}},
        // Bytes that are not UTF-8 anywhere drop the whole chunk, lines read before them too.
        {opus1 + "\n{\"text\":\"\xFF\"}\n" + opus3 + "\n", {}},
        {opus1 + "\n" + opus3 + "\n\xE3\x80", {}},
        {opus1 + "\n" + opus3 + "\n\xE3\x80\x80", {1, 3}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tokensOf(chunkUsages(c.chunk)), c.tokens) << c.chunk.toStdString();
    }
}

// The key is looked for a block at a time with the next block's bytes in view; wherever it lands
// relative to the blocks, and however long the chunk, it is found once.
TEST(TranscriptChunkTest, FindsTheKeyAtEveryPlaceAcrossBlocks) {
    for (int padding = 0; padding < 150; ++padding) {
        const QByteArray line = R"({"pad":")" + QByteArray(padding, 'p') + R"(",)" +
                                usageLine("opus", padding + 1).mid(1);
        for (const QByteArray& chunk :
             {line, QByteArray(line + "\n"), QByteArray(line + "\n" + line)}) {
            const std::vector<LineUsage> usages = chunkUsages(chunk);
            ASSERT_EQ(usages.size(), static_cast<std::size_t>(chunk.count('{') / 3)) << padding;
            EXPECT_EQ(usages.front().tokens, padding + 1);
        }
    }
}

}  // namespace
}  // namespace brimlet

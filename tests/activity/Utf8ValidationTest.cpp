#include <gtest/gtest.h>

#include <QStringDecoder>
#include <random>

#include "activity/TranscriptChunk.h"
#include "activity/Utf8Validation.h"

namespace brimlet {
namespace {

// Each case stands alone and also inside ASCII at every offset around the 16- and 64-byte steps
// of the scan, so that the vector paths and the byte-wise paths both see it.
TEST(Utf8ValidationTest, JudgesSequencesWhereverTheyStand) {
    const struct {
        QByteArray bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain ascii", true},
        {"caf\xC3\xA9", true},
        {"\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", true},  // 한국어
        {"\xF0\x9F\x98\x80", true},                      // U+1F600
        {"\xF4\x8F\xBF\xBF", true},                      // U+10FFFF
        {"\xEF\xBF\xBF", true},                          // U+FFFF, a noncharacter but valid
        {"\xC0\x80", false},                             // overlong NUL
        {"\xC1\xBF", false},
        {"\xE0\x80\x80", false},
        {"\xE0\x9F\xBF", false},
        {"\xF0\x80\x80\x80", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xED\xA0\x80", false},  // a surrogate
        {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\xFF", false},
        {"\x80", false},  // a stray continuation
        {"\xE3\x80", false},
        {"\xE3\x80x", false},
        {"\xC3\xA9\xA9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.bytes.toHex().toStdString();
        for (int offset = 0; offset < 140; ++offset) {
            const QByteArray placed = QByteArray(offset, 'a') + c.bytes + QByteArray(70, 'b');
            EXPECT_EQ(isValidUtf8(placed), c.valid)
                << offset << " " << c.bytes.toHex().toStdString();
            const QByteArray atEnd = QByteArray(offset, 'a') + c.bytes;
            EXPECT_EQ(isValidUtf8(atEnd), c.valid)
                << offset << " " << c.bytes.toHex().toStdString();
        }
    }
}

bool decoderAccepts(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// The transcript reader checks its chunks a block at a time and reads lines on the way; it must
// count the lines around the bytes exactly when the whole chunk is valid.
TEST(Utf8ValidationTest, AgreesWithQtsDecoderOnRandomBytes) {
    const QByteArray line = R"({"message":{"model":"opus","usage":{"output_tokens":1}}})";
    std::mt19937 random(3);
    const QByteArray valid = "a\xC3\xA9\xED\x95\x9C\xF0\x9F\x98\x80";
    int validSeen = 0;
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes;
        const int parts = static_cast<int>(random() % 12);
        for (int p = 0; p < parts; ++p) {
            switch (random() % 4) {
                case 0:
                    bytes += QByteArray(static_cast<int>(random() % 70), 'x');
                    break;
                case 1:
                    bytes += valid.mid(static_cast<int>(random() % valid.size()));
                    break;
                case 2:
                    bytes += static_cast<char>(0x80 + random() % 0x80);
                    break;
                default:
                    bytes += valid;
            }
        }
        const bool expected = decoderAccepts(bytes);
        validSeen += expected ? 1 : 0;
        ASSERT_EQ(isValidUtf8(bytes), expected) << bytes.toHex().toStdString();
        const QByteArray chunk = line + '\n' + bytes + '\n' + line;
        ASSERT_EQ(chunkUsages(chunk).size(), expected ? 2U : 0U) << bytes.toHex().toStdString();
    }
    EXPECT_GT(validSeen, 2000);
}

}  // namespace
}  // namespace brimlet

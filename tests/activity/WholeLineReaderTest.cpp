#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "activity/WholeLineReader.h"

namespace brimlet {
namespace {

TEST(WholeLineReaderTest, HandsOverWholeLinesInBoundedPieces) {
    const struct {
        QByteArray content;
        std::uint64_t from;
        std::uint64_t to;
        std::size_t pieceBytes;
        QList<QByteArray> pieces;
        std::uint64_t reached;
    } cases[] = {
        {"a\nb\n", 0, 4, 100, {"a\nb\n"}, 4},
        {"a\nbc", 0, 4, 100, {"a\n"}, 2},   // a line still being written waits
        {"a\nb\n", 0, 3, 100, {"a\n"}, 2},  // nothing past the size given
        {"a\nb\n", 2, 4, 100, {"b\n"}, 4},
        {"a\nb\nc\nd\n", 0, 8, 5, {"a\nb\n", "c\nd\n"}, 8},
        {"xxxxxxxx\nab\n", 0, 12, 4, {"ab\n"}, 12},  // longer than a piece: passed over
        {"xxxxxxxxxx", 0, 10, 4, {}, 0},
        {"xxxxxx\nab", 0, 9, 4, {}, 7},
        {"ab\nxxxxxxxxxxx\ncd\n", 0, 18, 4, {"ab\n", "cd\n"}, 18},
    };
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.jsonl"));
    for (const auto& c : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        QList<QByteArray> pieces;
        const std::uint64_t reached =
            readWholeLines(QFile::encodeName(path).toStdString(), c.from, c.to, c.pieceBytes,
                           [&pieces](QByteArrayView piece) { pieces.append(piece.toByteArray()); });
        EXPECT_EQ(pieces, c.pieces) << c.content.toStdString() << " from " << c.from;
        EXPECT_EQ(reached, c.reached) << c.content.toStdString() << " from " << c.from;
    }
}

TEST(WholeLineReaderTest, ReadsNothingFromAMissingFile) {
    const std::uint64_t reached =
        readWholeLines("/nonexistent/brimlet/t.jsonl", 5, 50, 16,
                       [](QByteArrayView) { ADD_FAILURE() << "no piece expected"; });
    EXPECT_EQ(reached, 5U);
}

}  // namespace
}  // namespace brimlet

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "activity/WholeLineReader.h"

namespace brimlet {
namespace {

TEST(WholeLineReaderTest, HandsOverWholeLinesInBoundedPieces) {
    const struct {
        QByteArray content;
        ReadPosition from;
        std::uint64_t to;
        std::size_t pieceBytes;
        QList<QByteArray> pieces;
        ReadPosition reached;
        std::uint64_t readBytes = 1000;
    } cases[] = {
        {"a\nb\n", {0, 0}, 4, 100, {"a\nb\n"}, {4, 4}},
        {"a\nbc", {0, 0}, 4, 100, {"a\n"}, {2, 4}},   // a line still being written waits
        {"a\nb\n", {0, 0}, 3, 100, {"a\n"}, {2, 3}},  // nothing past the size given
        {"a\nb\n", {2, 2}, 4, 100, {"b\n"}, {4, 4}},
        {"a\nb\nc\nd\n", {0, 0}, 8, 5, {"a\nb\n", "c\nd\n"}, {8, 8}},
        {"xxxxxxxxxx", {0, 0}, 10, 4, {}, {0, 10}},
        {"ab\nxxxxxxxxxxx\ncd\n", {0, 0}, 18, 4, {"ab\n", "cd\n"}, {18, 18}},  // longer than a
                                                                               // piece
        {"xxxxxx\nab", {0, 0}, 9, 4, {}, {7, 9}},
        // Resumed: what lies before `searched` is not looked at again (the line feed at 2 is
        // never seen), and the over-long line is passed over unread once its end is found.
        {"xx\nxxxxxx\nab\n", {0, 8}, 13, 4, {"ab\n"}, {13, 13}},
        {"xx\nxx\nab\n", {0, 5}, 9, 100, {"xx\nxx\n", "ab\n"}, {9, 9}},
        {"a\nb\nc\n", {0, 0}, 6, 100, {"a\nb\n"}, {4, 4}, 4},  // the rest waits for the next call
    };
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.jsonl"));
    for (const auto& c : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        QList<QByteArray> pieces;
        const ReadPosition reached =
            readWholeLines(TranscriptFile(QFile::encodeName(path).toStdString()), c.from, c.to,
                           {c.pieceBytes, c.readBytes},
                           [&pieces](QByteArrayView piece) { pieces.append(piece.toByteArray()); });
        EXPECT_EQ(pieces, c.pieces) << c.content.toStdString() << " from " << c.from.offset;
        EXPECT_EQ(reached.offset, c.reached.offset) << c.content.toStdString();
        EXPECT_EQ(reached.searched, c.reached.searched) << c.content.toStdString();
    }
    const ReadPosition missing = readWholeLines(TranscriptFile("/nonexistent/brimlet/t.jsonl"),
                                                {5, 5}, 50, {16, 100}, [](QByteArrayView) {});
    EXPECT_EQ(missing.offset, 5U);
    // A FIFO put in a transcript's place neither holds up the opening nor passes for a file.
    const std::string fifo =
        QFile::encodeName(dir.filePath(QStringLiteral("f.jsonl"))).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(TranscriptFile(fifo).status());
}

}  // namespace
}  // namespace brimlet

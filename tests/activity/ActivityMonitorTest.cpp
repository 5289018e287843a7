#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <random>
#include <thread>

#include "activity/ActivityMonitor.h"
#include "activity/ActivityMonitorProbe.h"
#include "activity/FakeClock.h"

namespace brimlet {
namespace {

constexpr qint64 kSecond = 1000;

// A qualifying transcript line with Korean text in it, so that multi-byte characters get cut
// wherever writes split lines.
QByteArray usageLine(const char* model, int tokens) {
    return R"({"type":"assistant","message":{"model":")" + QByteArray(model) +
           R"(","content":[{"type":"text","text":"토큰을 세는 중 \"ok\""}],)"
           R"("usage":{"input_tokens":4,"output_tokens":)" +
           QByteArray::number(tokens) + "}}}\n";
}
QByteArray opusLine(int tokens) {
    return usageLine("claude-opus-4-1", tokens);
}
QByteArray fableLine(int tokens) {
    return usageLine("claude-fable-3", tokens);
}

class MonitorFixture : public ::testing::Test {
  protected:
    explicit MonitorFixture(bool useChangeNotices) : useChangeNotices_(useChangeNotices) {
        QDir().mkpath(root_);
        restartMonitor();
    }

    void restartMonitor() {
        monitor_ = std::make_unique<ActivityMonitor>(root_, clock_.clock(), useChangeNotices_);
        monitor_->onUpdate = [this] { ++publications_; };
    }

    [[nodiscard]] QString path(const QString& relative) const { return root_ + u'/' + relative; }

    void write(const QString& relative, const QByteArray& bytes,
               QIODevice::OpenMode mode = QIODevice::Truncate) const {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | mode));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    void append(const QString& relative, const QByteArray& bytes) const {
        write(relative, bytes, QIODevice::Append);
    }
    void setModified(const QString& relative, const QDateTime& time) const {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
    void tick() { ActivityMonitorProbe::tickAndWait(*monitor_); }
    // Rates are token sums over the 20-second window divided by 20.
    void expectTokens(double opus, double fable, const char* where) const {
        EXPECT_EQ(monitor_->signal().opusRate, opus / 20) << where;
        EXPECT_EQ(monitor_->signal().fableRate, fable / 20) << where;
    }

    const bool useChangeNotices_;
    QTemporaryDir dir_;
    QString root_ = dir_.filePath(QStringLiteral("projects"));
    // The fake clock starts at the real time, so that files written now count as just modified.
    test::FakeClock clock_{QDateTime::currentDateTimeUtc()};
    std::unique_ptr<ActivityMonitor> monitor_;
    int publications_ = 0;
};

// Every behaviour holds the same with and without the file system's change notices.
class ActivityMonitorTest : public MonitorFixture, public ::testing::WithParamInterface<bool> {
  protected:
    ActivityMonitorTest() : MonitorFixture(GetParam()) {}
};

INSTANTIATE_TEST_SUITE_P(ChangeNotices, ActivityMonitorTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Watched" : "Polled";
                         });

class ActivityMonitorRealTimeTest : public MonitorFixture {
  protected:
    ActivityMonitorRealTimeTest() : MonitorFixture(true) {}
};

TEST_P(ActivityMonitorTest, FollowsVisibleJsonlFilesOneLevelInsideProjectFolders) {
    const struct {
        QString relative;
        bool followed;
    } cases[] = {
        {"p/a.jsonl", true},
        {"q/b.jsonl", true},
        {".hidden-project/c.jsonl", true},  // hidden folders in root are project folders too
        {"p/d.JSONL", false},
        {"p/e.json", false},
        {"p/f.jsonl.bak", false},
        {"p/.g.jsonl", false},
        {"p/sub/h.jsonl", false},
        {"i.jsonl", false},  // directly in root
    };
    QDir(root_).mkpath(QStringLiteral("p/folder.jsonl"));
    write(QStringLiteral("plain-file-in-root"), "x\n");
    for (const auto& c : cases) {
        write(c.relative, "{}\n");
    }
    tick();
    double expected = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const int bit = 1 << i;
        append(cases[i].relative, opusLine(bit));
        expected += cases[i].followed ? bit : 0;
    }
    tick();
    expectTokens(expected, 0, "followed files");
}

TEST_P(ActivityMonitorTest, FirstTickStartsEveryFileAtItsEndAndCountsNothing) {
    write(QStringLiteral("p/a.jsonl"), opusLine(100) + fableLine(200));
    tick();
    expectTokens(0, 0, "after the first tick");
    EXPECT_EQ(publications_, 1);
    append(QStringLiteral("p/a.jsonl"), fableLine(30) + opusLine(50));
    tick();
    expectTokens(50, 30, "after appending");
    EXPECT_EQ(monitor_->signal().fableRate, 1.5);
    EXPECT_EQ(monitor_->signal().opusRate, 2.5);
}

TEST_P(ActivityMonitorTest, AFileCreatedLaterStartsAtItsSizeWhenFirstSeen) {
    tick();
    write(QStringLiteral("p/new.jsonl"), opusLine(100));
    clock_.advance(11 * kSecond);
    tick();
    expectTokens(0, 0, "first seen by the sweep");
    append(QStringLiteral("p/new.jsonl"), opusLine(8));
    tick();
    expectTokens(8, 0, "appended after it was first seen");
}

// A file appears after the first sweep and gains one line before each later tick; lines written
// before the sweep that first sees it are never counted, which shows when that sweep ran.
TEST_P(ActivityMonitorTest, SweepsAtTheFirstTickMoreThanTenSecondsAfterTheLast) {
    tick();
    const qint64 offsets[] = {8 * kSecond, 10 * kSecond, 10 * kSecond + 1, 12 * kSecond};
    qint64 now = 0;
    int bit = 1;
    write(QStringLiteral("p/late.jsonl"), "");
    for (const qint64 offset : offsets) {
        append(QStringLiteral("p/late.jsonl"), opusLine(bit));
        clock_.advance(offset - now);
        now = offset;
        tick();
        bit *= 2;
    }
    expectTokens(8, 0, "only the line after the sweep at 10.001 s");
}

TEST_P(ActivityMonitorTest, TreatsAFileModifiedExactly120SecondsAgoAsActive) {
    write(QStringLiteral("p/at-cutoff.jsonl"), "");
    write(QStringLiteral("p/past-cutoff.jsonl"), "");
    setModified(QStringLiteral("p/at-cutoff.jsonl"), clock_.now().addMSecs(-120 * kSecond));
    setModified(QStringLiteral("p/past-cutoff.jsonl"), clock_.now().addMSecs(-120 * kSecond - 1));
    tick();
    append(QStringLiteral("p/at-cutoff.jsonl"), opusLine(1));
    append(QStringLiteral("p/past-cutoff.jsonl"), opusLine(2));
    tick();  // no sweep in between: the active set of the first one holds
    expectTokens(1, 0, "only the file at the cutoff");
}

TEST_P(ActivityMonitorTest, AFileWrittenAgainAfterLongQuietIsReadInFull) {
    const QString file = QStringLiteral("p/a.jsonl");
    write(file, "");
    setModified(file, clock_.now().addSecs(-300));
    tick();
    append(file, opusLine(1) + opusLine(2));
    append(file, fableLine(4));
    setModified(file, clock_.now().addSecs(-300));
    clock_.advance(11 * kSecond);
    tick();
    expectTokens(0, 0, "idle while quiet");
    setModified(file, clock_.now());
    clock_.advance(11 * kSecond);
    tick();
    expectTokens(3, 4, "everything appended since the last read");
}

TEST_P(ActivityMonitorTest, CountsAnEventForTheWholeWindowInclusiveThenDropsIt) {
    write(QStringLiteral("p/a.jsonl"), "");
    tick();
    append(QStringLiteral("p/a.jsonl"), opusLine(400));
    const struct {
        qint64 after;
        double opusRate;
    } publications[] = {{0, 20},
                        {2 * kSecond, 20},
                        {14 * kSecond, 20},
                        {20 * kSecond, 20},
                        {20 * kSecond + 1, 0},
                        {40 * kSecond, 0}};
    qint64 now = 0;
    for (const auto& p : publications) {
        clock_.advance(p.after - now);
        now = p.after;
        tick();
        EXPECT_EQ(monitor_->signal().opusRate, p.opusRate) << p.after << " ms after reading";
        EXPECT_EQ(monitor_->signal().fableRate, 0);
    }
    EXPECT_EQ(publications_, 1 + static_cast<int>(std::size(publications)));
}

TEST_P(ActivityMonitorTest, ALineWrittenInTwoPiecesCountsOnce) {
    const QByteArray line = opusLine(400);
    const qsizetype cut = line.indexOf("토") + 1;  // inside a multi-byte character
    write(QStringLiteral("p/a.jsonl"), "");
    tick();
    append(QStringLiteral("p/a.jsonl"), line.left(cut));
    tick();
    expectTokens(0, 0, "first piece");
    clock_.advance(2 * kSecond);
    append(QStringLiteral("p/a.jsonl"), line.mid(cut));
    tick();
    expectTokens(400, 0, "whole line");
    tick();
    expectTokens(400, 0, "not read again");
}

TEST_P(ActivityMonitorTest, AShrunkFileIsFollowedFromItsNewSize) {
    write(QStringLiteral("p/a.jsonl"), opusLine(1).repeated(10));
    tick();
    write(QStringLiteral("p/a.jsonl"), "{}\n");
    tick();
    expectTokens(0, 0, "after shrinking");
    append(QStringLiteral("p/a.jsonl"), opusLine(7));
    tick();
    expectTokens(7, 0, "one line appended after shrinking");
}

TEST_P(ActivityMonitorTest, DropsAChunkThatIsNotUtf8WithoutReadingItAgain) {
    write(QStringLiteral("p/a.jsonl"), "");
    tick();
    append(QStringLiteral("p/a.jsonl"), opusLine(1) + "{\"x\":\"\xFF\"}\n" + opusLine(2));
    tick();
    expectTokens(0, 0, "the whole chunk dropped");
    append(QStringLiteral("p/a.jsonl"), opusLine(4));
    tick();
    expectTokens(4, 0, "later lines counted");
}

TEST_P(ActivityMonitorTest, ReadsAHugeAppendInBoundedPiecesWithTheSameEvents) {
    write(QStringLiteral("p/a.jsonl"), "");
    tick();
    QByteArray bytes;
    int lines = 0;
    std::mt19937 random(5);
    while (bytes.size() < 12 * 1024 * 1024) {  // three pieces and a bit
        bytes += R"({"pad":")" + QByteArray(static_cast<int>(random() % 6000), 'x') + "\"}\n";
        bytes += opusLine(1);
        ++lines;
    }
    append(QStringLiteral("p/a.jsonl"), bytes);
    tick();
    expectTokens(lines, 0, "every line of the append");
}

TEST_P(ActivityMonitorTest, PublishesZeroesEveryTickWithoutRootAndFindsItWhenItComes) {
    root_ = dir_.filePath(QStringLiteral("absent"));
    restartMonitor();
    for (int i = 0; i < 3; ++i) {
        tick();
        clock_.advance(2 * kSecond);
    }
    EXPECT_EQ(publications_, 3);
    expectTokens(0, 0, "no root");
    write(QStringLiteral("p/a.jsonl"), opusLine(5));
    clock_.advance(11 * kSecond);
    tick();
    append(QStringLiteral("p/a.jsonl"), opusLine(6));
    tick();
    expectTokens(6, 0, "root created later");
}

TEST_P(ActivityMonitorTest, KeepsItsFilesWhileRootIsGoneAndReadsThemWhenTheyReturn) {
    write(QStringLiteral("p/a.jsonl"), "");
    tick();
    ASSERT_TRUE(QDir(root_).removeRecursively());
    tick();
    clock_.advance(11 * kSecond);
    tick();  // the sweep fails; the active file stays
    expectTokens(0, 0, "root gone");
    write(QStringLiteral("p/a.jsonl"), opusLine(9));
    tick();
    expectTokens(9, 0, "the file back at its path, read from its old position");
}

TEST_P(ActivityMonitorTest, FollowsRootToTheFolderItLeadsToNow) {
    write(QStringLiteral("p/a.jsonl"), "");
    tick();
    ASSERT_TRUE(QDir().rename(root_, dir_.filePath(QStringLiteral("old"))));
    write(QStringLiteral("p/b.jsonl"), opusLine(1));
    clock_.advance(11 * kSecond);
    tick();
    append(QStringLiteral("p/b.jsonl"), opusLine(2));
    tick();
    expectTokens(2, 0, "a file in the new root folder");
}

TEST_P(ActivityMonitorTest, NoticesWritesThroughALinkedTranscriptsTarget) {
    const QString target = dir_.filePath(QStringLiteral("elsewhere.jsonl"));
    write(QStringLiteral("p/keep.jsonl"), "");
    QFile(target).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(target, path(QStringLiteral("p/linked.jsonl"))));
    tick();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(opusLine(5));
    file.close();
    tick();
    expectTokens(5, 0, "written through the link's target");
}

TEST_P(ActivityMonitorTest, ASetBackClockNeitherFreezesTheRatesNorStopsTheSweeps) {
    write(QStringLiteral("p/a.jsonl"), "");
    tick();
    append(QStringLiteral("p/a.jsonl"), opusLine(400));
    tick();
    expectTokens(400, 0, "before the clock is set back");
    clock_.advance(-3600 * kSecond);
    write(QStringLiteral("p/b.jsonl"), opusLine(1));
    tick();
    expectTokens(0, 0, "an event from the future is dropped");
    append(QStringLiteral("p/b.jsonl"), opusLine(3));
    tick();
    expectTokens(3, 0, "the file found by the sweep after the clock was set back");
}

// A writer appends lines of known token counts in writes of random size, splitting lines and
// multi-byte characters, while the monitor ticks. The clock stands still, so every event stays in
// the window and the published rates give the exact sums.
TEST_P(ActivityMonitorTest, CountsEveryLineExactlyOnceWhileAWriterRacesTheTicks) {
    write(QStringLiteral("p/a.jsonl"), "");
    tick();
    QByteArray bytes;
    double opus = 0;
    double fable = 0;
    std::mt19937 random(9);
    for (int i = 0; i < 3000; ++i) {
        const int tokens = 1 + static_cast<int>(random() % 1000);
        const bool isFable = random() % 3 == 0;
        bytes += isFable ? fableLine(tokens) : opusLine(tokens);
        (isFable ? fable : opus) += tokens;
    }
    std::atomic<bool> done = false;
    std::thread writer([&] {
        QFile file(path(QStringLiteral("p/a.jsonl")));
        if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            std::mt19937 sizes(13);
            for (qsizetype at = 0; at < bytes.size();) {
                const qsizetype size = std::min<qsizetype>(1 + sizes() % 700, bytes.size() - at);
                file.write(bytes.constData() + at, size);
                at += size;
                if (sizes() % 8 == 0) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            }
        }
        done = true;
    });
    int ticks = 0;
    while (!done) {
        tick();
        ++ticks;
    }
    writer.join();
    tick();
    expectTokens(opus, fable, "sum of all lines written");
    EXPECT_GT(ticks, 3);
}

TEST_F(ActivityMonitorRealTimeTest, StartPublishesAtOnceThenEveryTwoSeconds) {
    ActivityMonitor monitor(root_, systemNow);
    int published = 0;
    QEventLoop loop;
    monitor.onUpdate = [&] {
        ++published;
        loop.quit();
    };
    write(QStringLiteral("p/a.jsonl"), "");
    monitor.start();
    EXPECT_EQ(monitor.signal().opusRate, 0);
    EXPECT_EQ(published, 0);  // the first publication comes through the event loop
    QTimer::singleShot(10 * kSecond, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_EQ(published, 1);
    append(QStringLiteral("p/a.jsonl"), opusLine(400));
    QElapsedTimer elapsed;
    elapsed.start();
    loop.exec();
    ASSERT_EQ(published, 2);
    EXPECT_GE(elapsed.elapsed(), 1500);
    EXPECT_EQ(monitor.signal().opusRate, 20);
}

TEST_P(ActivityMonitorTest, DestructionWithWorkQueuedIsSafeAndPublishesNothingMore) {
    for (int i = 0; i < 100; ++i) {
        write(QStringLiteral("p%1/a.jsonl").arg(i % 10) + QString::number(i), opusLine(1));
    }
    auto published = std::make_shared<int>(0);
    monitor_->onUpdate = [published] { ++*published; };
    for (int i = 0; i < 20; ++i) {
        ActivityMonitorProbe::tick(*monitor_);
    }
    monitor_.reset();
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(*published, 0);
}

TEST_F(ActivityMonitorRealTimeTest, TheDefaultMonitorFollowsClaudeProjectsInTheHomeFolder) {
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", dir_.path().toUtf8());
    ActivityMonitor monitor;
    qputenv("HOME", home);
    root_ = dir_.filePath(QStringLiteral(".claude/projects"));
    write(QStringLiteral("p/a.jsonl"), "");
    ActivityMonitorProbe::tickAndWait(monitor);
    append(QStringLiteral("p/a.jsonl"), opusLine(400));
    ActivityMonitorProbe::tickAndWait(monitor);
    EXPECT_EQ(monitor.signal().opusRate, 20);
}

}  // namespace
}  // namespace brimlet

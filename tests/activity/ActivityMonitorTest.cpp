#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <future>
#include <random>
#include <thread>

#include "activity/ActivityMonitor.h"
#include "activity/ActivityMonitorProbe.h"
#include "activity/FakeClock.h"

namespace brimlet {
namespace {

constexpr qint64 kSecond = 1000;
const QString kFile = QStringLiteral("p/a.jsonl");

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

class ActivityMonitorTest : public ::testing::Test {
  protected:
    explicit ActivityMonitorTest(bool useChangeNotices = true)
        : useChangeNotices_(useChangeNotices) {
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

// Tests where kept listings and statuses could hide a change run again with every tick asking
// the file system, as on platforms without change notices.
class ActivityMonitorBothWaysTest : public ActivityMonitorTest,
                                    public ::testing::WithParamInterface<bool> {
  protected:
    ActivityMonitorBothWaysTest() : ActivityMonitorTest(GetParam()) {}
};

INSTANTIATE_TEST_SUITE_P(ChangeNotices, ActivityMonitorBothWaysTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Watched" : "Polled";
                         });

// The sweep follows the visible .jsonl files one level inside project folders that were modified
// at most 120 s before it.
TEST_P(ActivityMonitorBothWaysTest, FollowsRecentTranscriptsOneLevelInsideProjectFolders) {
    const struct {
        QString relative;
        bool followed;
        qint64 age = 0;
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
        {"p/at-cutoff.jsonl", true, 120 * kSecond},
        {"p/past-cutoff.jsonl", false, 120 * kSecond + 1},
    };
    QDir(root_).mkpath(QStringLiteral("p/folder.jsonl"));
    write(QStringLiteral("plain-file-in-root"), "x\n");
    for (const auto& c : cases) {
        write(c.relative, "{}\n");
        setModified(c.relative, clock_.now().addMSecs(-c.age));
    }
    tick();
    double expected = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const int bit = 1 << i;
        append(cases[i].relative, opusLine(bit));
        expected += cases[i].followed ? bit : 0;
    }
    tick();  // no sweep in between: the files followed are those of the first one
    expectTokens(expected, 0, "followed files");
}

// A file appears after the first sweep and gains one line before each later tick; lines written
// before the sweep that first sees it are never counted, which shows when that sweep ran.
TEST_P(ActivityMonitorBothWaysTest, SweepsAtTheFirstTickMoreThanTenSecondsAfterTheLast) {
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

// A file quiet for long is not read, and keeps its place: once written to again, everything
// appended since is read. Each phase ends with a sweep, after the last phase's events left the
// window.
TEST_P(ActivityMonitorBothWaysTest, AQuietFileIsReadFromItsPlaceWhenWrittenAgain) {
    const struct {
        QByteArray appended;
        bool quiet;
        double opus;
        double fable;
    } phases[] = {
        {fableLine(4), true, 0, 0},
        {"", false, 0, 4},  // first seen quiet: read from the size it had then
        {opusLine(1) + opusLine(2), true, 0, 0},
        {"", false, 3, 0},  // quiet again in between: read from where it stopped
    };
    write(kFile, opusLine(100));
    setModified(kFile, clock_.now().addSecs(-300));
    tick();
    for (const auto& phase : phases) {
        append(kFile, phase.appended);
        setModified(kFile, clock_.now().addSecs(phase.quiet ? -300 : 0));
        clock_.advance(21 * kSecond);
        tick();
        expectTokens(phase.opus, phase.fable, phase.quiet ? "quiet" : "written again");
    }
}

TEST_F(ActivityMonitorTest, CountsAnEventForTheWholeWindowInclusiveThenDropsIt) {
    write(kFile, "");
    tick();
    append(kFile, opusLine(400));
    const struct {
        qint64 after;
        double opusTokens;
    } publications[] = {{0, 400},
                        {14 * kSecond, 400},
                        {20 * kSecond, 400},
                        {20 * kSecond + 1, 0},
                        {40 * kSecond, 0}};
    qint64 now = 0;
    for (const auto& p : publications) {
        clock_.advance(p.after - now);
        now = p.after;
        tick();
        expectTokens(p.opusTokens, 0, QByteArray::number(p.after).constData());
    }
    EXPECT_EQ(publications_, 1 + static_cast<int>(std::size(publications)));
}

// Each case follows one file through ticks; before each tick the step's bytes are appended to it,
// or written in place of what it holds.
TEST_F(ActivityMonitorTest, ReadsEachAppendedLineOnceAndWhole) {
    const QByteArray line = opusLine(400);
    const qsizetype cut = line.indexOf("토") + 1;  // inside a multi-byte character
    struct Step {
        QByteArray bytes;
        bool replace = false;
        double opus = 0;  // tokens in the window after the tick
        double fable = 0;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"first read from its end",
         {{opusLine(100) + fableLine(200)}, {fableLine(30) + opusLine(50), false, 50, 30}}},
        {"a line in two pieces",
         {{""}, {line.left(cut)}, {line.mid(cut), false, 400}, {"", false, 400}}},
        {"shrunk: read from its new size",
         {{opusLine(1).repeated(10)}, {opusLine(3), true}, {opusLine(7), false, 7}}},
        {"a piece not UTF-8 dropped whole",
         {{""}, {opusLine(1) + "{\"x\":\"\xFF\"}\n" + opusLine(2)}, {opusLine(4), false, 4}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        root_ = dir_.filePath(QString::number(&c - cases));
        restartMonitor();
        for (const Step& step : c.steps) {
            write(kFile, step.bytes, step.replace ? QIODevice::Truncate : QIODevice::Append);
            tick();
            expectTokens(step.opus, step.fable, step.bytes.left(40).constData());
        }
    }
}

TEST_F(ActivityMonitorTest, PublishesZeroesEveryTickWithoutRootAndFindsItWhenItComes) {
    root_ = dir_.filePath(QStringLiteral("absent"));
    restartMonitor();
    for (int i = 0; i < 3; ++i) {
        tick();
        clock_.advance(2 * kSecond);
    }
    EXPECT_EQ(publications_, 3);
    expectTokens(0, 0, "no root");
    write(kFile, opusLine(5));
    clock_.advance(11 * kSecond);
    tick();
    append(kFile, opusLine(6));
    tick();
    expectTokens(6, 0, "root created later");
}

TEST_P(ActivityMonitorBothWaysTest, KeepsItsFilesWhileRootIsGoneAndReadsThemWhenTheyReturn) {
    write(kFile, "");
    tick();
    ASSERT_TRUE(QDir(root_).removeRecursively());
    tick();
    clock_.advance(11 * kSecond);
    tick();  // the sweep fails; the active file stays
    expectTokens(0, 0, "root gone");
    write(kFile, opusLine(9));
    tick();
    expectTokens(9, 0, "the file back at its path, read from its old position");
}

// A folder moved away and another one made at its path: what was kept of the old one says nothing.
TEST_P(ActivityMonitorBothWaysTest, FollowsAPathToTheFolderItLeadsToNow) {
    for (const QString& moved : {root_, path(QStringLiteral("p"))}) {
        SCOPED_TRACE(moved.toStdString());
        restartMonitor();
        write(kFile, "");
        tick();
        ASSERT_TRUE(QDir().rename(moved, moved + QStringLiteral(".old")));
        write(QStringLiteral("p/b.jsonl"), opusLine(1));
        clock_.advance(11 * kSecond);
        tick();
        append(QStringLiteral("p/b.jsonl"), opusLine(2));
        tick();
        expectTokens(2, 0, "a file in the new folder");
    }
}

TEST_P(ActivityMonitorBothWaysTest, NoticesWritesThroughALinkedTranscriptsTarget) {
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

TEST_F(ActivityMonitorTest, ASetBackClockNeitherFreezesTheRatesNorStopsTheSweeps) {
    write(kFile, "");
    tick();
    append(kFile, opusLine(400));
    tick();
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
TEST_F(ActivityMonitorTest, CountsEveryLineExactlyOnceWhileAWriterRacesTheTicks) {
    write(kFile, "");
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
        QFile file(path(kFile));
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

// The first tick holds the worker in its first reading of the clock until the destructor has
// begun, so that the monitor goes with one tick running and more queued.
TEST_F(ActivityMonitorTest, DestructionWhileATickRunsWaitsForItAndPublishesNothingMore) {
    std::promise<void> running;
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first = true;
    auto monitor = std::make_unique<ActivityMonitor>(root_, [&] {
        if (first.exchange(false)) {
            running.set_value();
            released.wait();
        }
        return clock_.now();
    });
    int published = 0;
    monitor->onUpdate = [&published] { ++published; };
    write(kFile, opusLine(1));
    for (int i = 0; i < 20; ++i) {
        ActivityMonitorProbe::tick(*monitor);
    }
    running.get_future().wait();
    std::thread releaser([&release] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        release.set_value();
    });
    monitor.reset();
    releaser.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(published, 0);
}

// The only test on the real timer and clock.
TEST_F(ActivityMonitorTest, StartPublishesAtOnceThenEveryTwoSeconds) {
    ActivityMonitor monitor(root_, systemNow);
    int published = 0;
    QEventLoop loop;
    monitor.onUpdate = [&] {
        ++published;
        loop.quit();
    };
    write(kFile, "");
    QElapsedTimer elapsed;
    elapsed.start();
    monitor.start();
    EXPECT_EQ(published, 0);  // the first publication comes through the event loop
    QTimer::singleShot(10 * kSecond, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_EQ(published, 1);
    EXPECT_LT(elapsed.restart(), 1000);
    append(kFile, opusLine(400));
    loop.exec();
    ASSERT_EQ(published, 2);
    EXPECT_GE(elapsed.elapsed(), 1500);
    EXPECT_EQ(monitor.signal().opusRate, 20);
}

}  // namespace
}  // namespace brimlet

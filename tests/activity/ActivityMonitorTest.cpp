#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "TranscriptGenerator.h"
#include "activity/ActivityMonitor.h"
#include "activity/ActivityMonitorProbe.h"
#include "activity/FakeClock.h"
#include "support/WaitUntil.h"

namespace brimlet {
namespace {

constexpr qint64 kSecond = 1000;
const QString kFile = "p/a.jsonl";

// A qualifying transcript line, one content block of a reply under its message id when one is
// given, with Korean text in it, so that multi-byte characters get cut wherever writes split lines.
QByteArray usageLine(int tokens, const char* id = nullptr, const char* model = "claude-opus-4-1") {
    return R"({"type":"assistant","message":{)" +
           (id ? R"("id":")" + QByteArray(id) + R"(",)" : QByteArray()) + R"("model":")" + model +
           R"(","content":[{"type":"text","text":"토큰을 세는 중 \"ok\""}],)"
           R"("usage":{"input_tokens":4,"output_tokens":)" +
           QByteArray::number(tokens) + "}}}\n";
}

class ActivityMonitorTest : public ::testing::Test {
  protected:
    explicit ActivityMonitorTest(bool useChangeNotices = true)
        : useChangeNotices_(useChangeNotices) {
        QDir().mkpath(root_);
        restartMonitor();
    }

    // Beside a second folder that does not exist, as ~/.config/claude/projects for most users.
    void restartMonitor() {
        monitor_ = std::make_unique<ActivityMonitor>(
            QStringList{root_, dir_.filePath("no-second-root")}, clock_.clock(), useChangeNotices_);
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
    QString root_ = dir_.filePath("projects");
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

// The sweep follows the visible .jsonl files one level inside project folders, and inside the
// subagents folders of their session folders, that were modified at most 120 s before it.
TEST_P(ActivityMonitorBothWaysTest, FollowsRecentTranscriptsAndTheirSubagentsTranscripts) {
    const struct {
        QString relative;
        bool followed;
        qint64 age = 0;
    } cases[] = {
        {"p/a.jsonl", true},
        {"q/b.jsonl", true},
        {".hidden-project/c.jsonl", true},  // hidden folders in root are project folders too
        {"p/d.JSONL", false},
        {"p/f.jsonl.bak", false},
        {"p/.g.jsonl", false},
        {"p/sub/h.jsonl", false},
        {"p/s/subagents/agent-a.jsonl", true},
        {"q/.s/subagents/agent-b.jsonl", false},  // a hidden session folder
        {"p/s/subagents/.agent-c.jsonl", false},
        {"p/s/subagents/deeper/agent-d.jsonl", false},
        {"p/s/other/agent-e.jsonl", false},
        {"p/s/subagents/agent-f.jsonl.tmp", false},
        {"i.jsonl", false},  // directly in root
        {"p/at-cutoff.jsonl", true, 120 * kSecond},
        {"p/past-cutoff.jsonl", false, 120 * kSecond + 1},
    };
    QDir(root_).mkpath("p/folder.jsonl");
    write("plain-file-in-root", "x\n");
    for (const auto& c : cases) {
        write(c.relative, "{}\n");
        setModified(c.relative, clock_.now().addMSecs(-c.age));
    }
    tick();
    double expected = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const int bit = 1 << i;
        append(cases[i].relative, usageLine(bit));
        expected += cases[i].followed ? bit : 0;
    }
    tick();  // no sweep in between: the files followed are those of the first one
    expectTokens(expected, 0, "followed files");
}

// A file first seen quiet is read from the size it had then. Written again, it joins the active
// files at the first sweep more than 10 s after the last one and is read from its place on. An
// event counts for 20 s, both ends included.
TEST_P(ActivityMonitorBothWaysTest, AQuietFileWrittenAgainIsReadAfterTheNextSweepFor20Seconds) {
    write(kFile, usageLine(100));
    setModified(kFile, clock_.now().addSecs(-300));
    tick();
    const struct {
        qint64 at;
        int appended;
        double opus;  // in the window after the tick
    } steps[] = {{8000, 1, 0},   {10000, 2, 0}, {10001, 4, 7}, {12000, 8, 15},
                 {30001, 0, 15}, {30002, 0, 8}, {32000, 0, 8}, {32001, 0, 0}};
    qint64 now = 0;
    for (const auto& step : steps) {
        if (step.appended > 0) {
            append(kFile, usageLine(step.appended));
        }
        clock_.advance(step.at - now);
        now = step.at;
        tick();
        expectTokens(step.opus, 0, QByteArray::number(step.at).constData());
    }
    EXPECT_EQ(publications_, 4);  // one for each change of the rates, none for the others
}

// Without root the rates stay 0 and nothing is published; root is found when it comes.
TEST_P(ActivityMonitorBothWaysTest, WithoutRootPublishesNothingAndFindsRootWhenItComes) {
    root_ = dir_.filePath("absent");
    restartMonitor();
    for (int i = 0; i < 3; ++i) {
        tick();
        clock_.advance(11 * kSecond);
    }
    EXPECT_EQ(publications_, 0);
    write(kFile, "");
    tick();
    append(kFile, usageLine(9));
    tick();
    expectTokens(9, 0, "a file in root made later");
}

// A file is known by its identity, not by its path: a file renamed over a transcript, a projects
// folder made anew with a file of the same name (in the inode just freed), a transcript truncated
// and written again within a tick: each is a new file, read from its end, and only what is
// appended after counts. The first two hold the old lines and one more, as a resumed session's
// copy does; the one written in place must differ before the old end, or it is an append. A file
// that shrank is read on from its new size.
TEST_P(ActivityMonitorBothWaysTest, AFileInAnotherFilesPlaceIsReadFromItsEnd) {
    const QByteArray copy = usageLine(1) + usageLine(3) + usageLine(5);
    const std::function<void()> replacements[] = {
        [&] {
            write("p/.replacement", copy);
            ASSERT_EQ(
                ::rename(QFile::encodeName(path("p/.replacement")), QFile::encodeName(path(kFile))),
                0);
        },
        [&] {
            ASSERT_TRUE(QDir(root_).removeRecursively());
            tick();               // root gone: nothing to read, nothing forgotten
            QThread::msleep(20);  // a birth time of its own, even where the clock is coarse
            write(kFile, copy);
        },
        [&] { write(kFile, usageLine(2) + copy); },
        [&] { write(kFile, "{}\n"); },  // shrunk: read on from its new size
    };
    // Replaced after a read, and before anything of the first file was read.
    for (const int readBefore : {3, 0}) {
        for (const auto& replace : replacements) {
            root_ =
                dir_.filePath(QStringLiteral("%1-%2").arg(&replace - replacements).arg(readBefore));
            SCOPED_TRACE(root_.toStdString());
            restartMonitor();
            write(kFile, usageLine(1));
            tick();
            if (readBefore > 0) {
                append(kFile, usageLine(readBefore));
                tick();
            }
            replace();
            clock_.advance(11 * kSecond);
            tick();
            expectTokens(readBefore, 0, "nothing of what the new file held");
            append(kFile, usageLine(4));
            tick();
            expectTokens(readBefore + 4, 0, "what was appended to the new file");
        }
    }
}

// With change notices a new transcript, a new project folder with one, or a subagent's transcript
// in a session folder and subagents folder made one after the other, is found at the next tick,
// not at the next sweep: lines appended to it from then on count.
TEST_F(ActivityMonitorTest, FindsANewTranscriptAtTheNextTick) {
    write(kFile, "");
    tick();
    for (const char* folder : {"p/s", "p/s/subagents"}) {
        ASSERT_TRUE(QDir(root_).mkpath(QString::fromLatin1(folder)));
        tick();
    }
    for (const char* relative : {"p/s/subagents/agent-a.jsonl", "p/new.jsonl", "q/new.jsonl"}) {
        write(relative, usageLine(100));
        tick();
        append(relative, usageLine(1));
        tick();
    }
    expectTokens(3, 0, "the lines appended after the tick that found each file");
}

// A reply is written one content block a line under one message id, its usage copied or growing
// from a placeholder, also across ticks and files: each reply counts its highest output once.
// Replies of equal usage under other ids, and lines without an id, count each.
TEST_F(ActivityMonitorTest, CountsEachReplyOnce) {
    const struct {
        const char* name;
        std::vector<QByteArray> ticks;  // appended before each tick
        double opus;
        double fable = 0;
        bool laterToSubagent = false;  // the ticks after the first append to a subagent's file
    } cases[] = {
        {"copies", {usageLine(600, "m1").repeated(3)}, 600},
        {"snapshots", {usageLine(1, "m1") + usageLine(250, "m1"), usageLine(600, "m1")}, 600},
        {"smaller later", {usageLine(600, "m1"), usageLine(250, "m1")}, 600},
        {"equal usage, other ids", {usageLine(600, "m1") + usageLine(600, "m2")}, 1200},
        {"no id", {usageLine(600).repeated(2)}, 1200},
        {"models apart", {usageLine(8, "m1") + usageLine(30, "m2", "claude-fable-3")}, 8, 30},
        {"across files", {usageLine(300, "m1"), usageLine(600, "m1")}, 600, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        root_ = dir_.filePath(QString::fromLatin1(c.name));
        restartMonitor();
        write(kFile, "");
        write("p/s/subagents/agent-a.jsonl", "");
        tick();
        for (std::size_t i = 0; i < c.ticks.size(); ++i) {
            const bool toSubagent = i > 0 && c.laterToSubagent;
            append(toSubagent ? "p/s/subagents/agent-a.jsonl" : kFile, c.ticks[i]);
            tick();
        }
        expectTokens(c.opus, c.fable, c.name);
    }
}

// Opus and Fable output of a history counted apart from the monitor, with QJsonDocument: per
// reply its highest count, lines without an id each.
std::pair<double, double> independentCount(const QByteArray& history) {
    std::map<QString, std::pair<bool, double>> replies;  // by id: Fable?, highest
    double sums[2] = {0, 0};                             // Opus, Fable
    for (const QByteArray& line : history.split('\n')) {
        const QJsonObject message = QJsonDocument::fromJson(line).object()[u"message"].toObject();
        const QString model = message[u"model"].toString();
        const QJsonValue tokens = message[u"usage"].toObject()[u"output_tokens"];
        const bool fable = model.contains(u"fable");
        if (!tokens.isDouble() || (!fable && !model.contains(u"opus"))) {
            continue;
        }
        const QString id = message[u"id"].toString();
        if (id.isEmpty()) {
            sums[fable] += tokens.toDouble();
        } else {
            auto& [isFable, highest] = replies[id];
            isFable = fable;
            highest = std::max(highest, tokens.toDouble());
        }
    }
    for (const auto& [id, reply] : replies) {
        sums[reply.first] += reply.second;
    }
    return {sums[0], sums[1]};
}

// A history shaped as Claude Code writes it, a session's and two subagents', appended in pieces
// cut at line ends over several ticks (so replies straddle ticks) while the clock stands still:
// the rates are exactly those of the independent count.
TEST_F(ActivityMonitorTest, AGeneratedHistoryGivesTheRatesOfAnIndependentCount) {
    using bench::TranscriptKind;
    const std::pair<QString, QByteArray> files[] = {
        {kFile, bench::generatedTranscript(1 << 20)},
        {"p/a/subagents/agent-1.jsonl",
         bench::generatedTranscript(1 << 20, TranscriptKind::Subagent, 1)},
        {"p/a/subagents/agent-2.jsonl",
         bench::generatedTranscript(1 << 20, TranscriptKind::Subagent, 2)},
    };
    double opus = 0;
    double fable = 0;
    for (const auto& [relative, history] : files) {
        write(relative, "");
        const auto [o, f] = independentCount(history);
        opus += o;
        fable += f;
    }
    ASSERT_GT(opus * fable, 0);
    tick();
    constexpr int kPieces = 7;
    for (int piece = 1; piece <= kPieces; ++piece) {
        for (const auto& [relative, history] : files) {
            const qsizetype from =
                history.lastIndexOf('\n', history.size() * (piece - 1) / kPieces) + 1;
            const qsizetype to =
                history.lastIndexOf('\n', history.size() * piece / kPieces - 1) + 1;
            append(relative, history.sliced(from, to - from));
        }
        tick();
    }
    expectTokens(opus, fable, "the independent count");
}

// Writes through a linked transcript are noticed, and a file reached twice (the project folder
// linked into root again) is read once.
TEST_P(ActivityMonitorBothWaysTest, ReadsALinkedTranscriptOnce) {
    const QString target = dir_.filePath("elsewhere.jsonl");
    write("p/keep.jsonl", "");
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    ASSERT_TRUE(QFile::link(target, path("p/linked.jsonl")));
    ASSERT_TRUE(QFile::link(path("p"), path("alias")));
    tick();
    file.write(usageLine(5));
    tick();
    expectTokens(5, 0, "written through the link's target");
}

TEST_F(ActivityMonitorTest, ASetBackClockNeitherFreezesTheRatesNorStopsTheSweeps) {
    write(kFile, "");
    tick();
    append(kFile, usageLine(400));
    tick();
    clock_.advance(-3600 * kSecond);
    write("p/b.jsonl", usageLine(1));
    tick();
    expectTokens(0, 0, "an event from the future is dropped");
    append("p/b.jsonl", usageLine(3));
    tick();
    expectTokens(3, 0, "the file found by the sweep after the clock was set back");
}

// A writer appends lines of known token counts in writes of random size, splitting lines and
// multi-byte characters, while the monitor ticks. The clock stands still, so every event stays in
// the window and the published rate gives the exact sum.
TEST_F(ActivityMonitorTest, CountsEveryLineExactlyOnceWhileAWriterRacesTheTicks) {
    write(kFile, "");
    tick();
    QByteArray bytes;
    for (int tokens = 1; tokens <= 3000; ++tokens) {
        bytes += usageLine(tokens, nullptr, tokens % 3 == 0 ? "claude-fable-3" : "claude-opus-4-1");
    }
    std::atomic<bool> done = false;
    std::thread writer([&] {
        QFile file(path(kFile));
        file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        std::mt19937 sizes(13);
        for (qsizetype at = 0, size = 0; at < bytes.size(); at += size) {
            size = std::min<qsizetype>(1 + sizes() % 700, bytes.size() - at);
            file.write(bytes.constData() + at, size);
            std::this_thread::sleep_for(std::chrono::microseconds(sizes() % 8 == 0 ? 200 : 0));
        }
        done = true;
    });
    int ticks = 0;
    for (; !done; ++ticks) {
        tick();
    }
    writer.join();
    tick();
    expectTokens(3000000, 1501500, "1 to 3000 tokens, every third line Fable");
    EXPECT_GT(ticks, 3);
}

// While a tick is at work, ticks asked for are skipped, not queued behind it; and the monitor
// destroyed then waits for it and publishes nothing more. The worker is held in a tick's reading of
// the clock; ticks are counted by those readings.
TEST_F(ActivityMonitorTest, SkipsTicksWhileOneIsAtWorkAndDestructionWaitsForIt) {
    std::atomic<int> reads = 0;
    std::atomic<bool> held = false;
    auto monitor = std::make_unique<ActivityMonitor>(QStringList{root_}, [&] {
        ++reads;
        while (held) {
            std::this_thread::yield();
        }
        return clock_.now();
    });
    int published = 0;
    monitor->onUpdate = [&published] { ++published; };
    const auto holdATick = [&] {
        const int before = reads;
        held = true;
        ActivityMonitorProbe::tick(*monitor);
        while (reads == before) {
            std::this_thread::yield();
        }
        ActivityMonitorProbe::tick(*monitor);
        ActivityMonitorProbe::tick(*monitor);
    };
    ActivityMonitorProbe::tickAndWait(*monitor);  // the first tick sweeps; later ones need not
    const int afterSweep = reads;
    ActivityMonitorProbe::tickAndWait(*monitor);
    const int perTick = reads - afterSweep;
    holdATick();
    held = false;
    ActivityMonitorProbe::drain(*monitor);
    EXPECT_EQ(reads - afterSweep, 2 * perTick);

    holdATick();
    std::thread releaser([&held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        held = false;
    });
    monitor.reset();
    releaser.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(published, 0);
}

// A transcript that grows by 64 GiB without a line feed (a sparse extension) holds up nothing:
// the hole is not read, the line it ends is passed over as too long, the lines after it count.
TEST_F(ActivityMonitorTest, PassesOverAHugeTailWithoutALineFeed) {
    write(kFile, "");
    tick();
    ASSERT_TRUE(QFile::resize(path(kFile), qint64{64} << 30));
    tick();
    append(kFile, "\n" + usageLine(5));
    tick();
    expectTokens(5, 0, "the line after the tail");
}

// Lines read in one tick leave one sum per model, not one event per line, and the read buffers go
// back to the system: a burst leaves the process no larger than it was.
TEST_F(ActivityMonitorTest, ABurstLeavesNoMemoryBehind) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine";
#endif
    write(kFile, "");
    tick();
    const QByteArray lines = usageLine(1).repeated(8000);
    for (int i = 0; i < 60; ++i) {
        append(kFile, lines);
    }
    const auto residentBytes = [] {
        QFile statm("/proc/self/statm");
        return statm.open(QIODevice::ReadOnly)
                   ? statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE)
                   : 0;
    };
    const qint64 before = residentBytes();
    tick();
    expectTokens(480000, 0, "every line of the burst");
    EXPECT_LT(residentBytes() - before, 5 << 20);
}

// The only test on the real timer and clock: the first tick runs at once (it finds the file, so
// the line appended after it counts), the next one two seconds later.
TEST_F(ActivityMonitorTest, StartTicksAtOnceThenEveryTwoSeconds) {
    ActivityMonitor monitor({root_}, systemNow);
    QElapsedTimer elapsed;
    std::vector<qint64> publishedAt;
    monitor.onUpdate = [&] { publishedAt.push_back(elapsed.elapsed()); };
    write(kFile, "");
    elapsed.start();
    monitor.start();
    ActivityMonitorProbe::drain(monitor);
    EXPECT_LT(elapsed.elapsed(), 1000);
    append(kFile, usageLine(400));
    ASSERT_TRUE(test::waitUntil([&] { return publishedAt.size() == 1; }));
    EXPECT_GE(publishedAt[0], 1500);
    EXPECT_EQ(monitor.signal().opusRate, 20);
}

}  // namespace
}  // namespace brimlet

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <limits>
#include <string>
#include <vector>

#include "TranscriptGenerator.h"
#include "activity/ActivityMonitor.h"
#include "activity/ActivityMonitorProbe.h"
#include "activity/FakeClock.h"
#include "activity/TranscriptChunk.h"
#include "activity/TranscriptFile.h"
#include "activity/WholeLineReader.h"

namespace brimlet::bench {
namespace {

constexpr qsizetype kTranscriptBytes = 64 * 1024 * 1024;
constexpr std::size_t kPieceBytes = 4 * 1024 * 1024;
constexpr int kProjects = 200;
constexpr int kTranscriptsPerProject = 50;
// Sessions since Claude Code 2.1.2 have a folder beside their transcript, its subagents' in it.
constexpr int kSessionProjects = 20;
constexpr int kSessionsPerProject = 100;
constexpr int kSubagentsPerSession = 2;

// One generated transcript on disk, shared by the ingest benchmarks.
class GeneratedTranscript {
  public:
    GeneratedTranscript() : path_(dir_.filePath(QStringLiteral("transcript.jsonl"))) {
        QFile file(path_);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(generatedTranscript(kTranscriptBytes)) < 0) {
            qFatal("cannot write the transcript");
        }
        file.close();  // the size counts what is written, not what is still buffered
        size_ = static_cast<std::uint64_t>(file.size());
    }
    [[nodiscard]] std::string path() const { return QFile::encodeName(path_).toStdString(); }
    [[nodiscard]] std::uint64_t size() const { return size_; }

  private:
    QTemporaryDir dir_;
    QString path_;
    std::uint64_t size_ = 0;
};

const GeneratedTranscript& transcript() {
    static const GeneratedTranscript file;
    return file;
}

void readPieces(benchmark::State& state, const std::function<void(QByteArrayView)>& onPiece) {
    const GeneratedTranscript& file = transcript();
    for (auto _ : state) {
        const TranscriptFile opened(file.path());
        benchmark::DoNotOptimize(
            readWholeLines(opened, ReadPosition::at(0), file.size(),
                           {kPieceBytes, std::numeric_limits<std::uint64_t>::max()}, onPiece));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}

// The floor: the same bounded reads, each piece only split into lines.
void BM_PlainReadAndSplitLines(benchmark::State& state) {
    std::size_t lines = 0;
    readPieces(state, [&lines](QByteArrayView piece) {
        for (qsizetype at = 0; (at = piece.indexOf('\n', at)) >= 0; ++at) {
            ++lines;
        }
    });
    benchmark::DoNotOptimize(lines);
}
BENCHMARK(BM_PlainReadAndSplitLines)->Unit(benchmark::kMillisecond);

// ingest alone: the same pieces already in memory, checked as UTF-8, filtered and parsed.
void BM_Ingest(benchmark::State& state) {
    const QByteArray bytes = generatedTranscript(kTranscriptBytes);
    double tokens = 0;
    for (auto _ : state) {
        ReplyLedger replies;  // each pass meets every reply anew
        // Pieces end at a line feed, as consume hands them over.
        for (qsizetype at = 0; at < bytes.size();) {
            const QByteArrayView upToPieceSize = QByteArrayView(bytes).sliced(
                at, std::min<qsizetype>(kPieceBytes, bytes.size() - at));
            const QByteArrayView piece = upToPieceSize.first(upToPieceSize.lastIndexOf('\n') + 1);
            tokens += chunkTokens(piece, replies).opus;
            at += piece.size();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.counters["Opus tokens"] = tokens / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Ingest)->Unit(benchmark::kMillisecond);

// What consume does: bounded reads, each piece checked as UTF-8, filtered and parsed.
void BM_ReadAndIngest(benchmark::State& state) {
    double tokens = 0;
    // One ledger for every pass: the first meets each reply, the later ones find it known.
    ReplyLedger replies;
    readPieces(state, [&](QByteArrayView piece) { tokens += chunkTokens(piece, replies).opus; });
    state.counters["Opus tokens"] = tokens / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadAndIngest)->Unit(benchmark::kMillisecond);

// Project folders of transcripts with a few lines in every one; with subagents, each transcript
// has its session's folder beside it, holding that many subagents' transcripts.
class ProjectTree {
  public:
    ProjectTree(int projects, int sessionsPerProject, int subagentsPerSession) {
        const QByteArray lines = generatedTranscript(2048);
        const QByteArray subagentLines = generatedTranscript(2048, TranscriptKind::Subagent);
        for (int project = 0; project < projects; ++project) {
            const QString folder = dir_.filePath(QStringLiteral("-home-kim-src-p%1").arg(project));
            for (int i = 0; i < sessionsPerProject; ++i) {
                const QString session = folder + QStringLiteral("/%1").arg(i);
                write(session + QStringLiteral(".jsonl"), lines);
                for (int agent = 0; agent < subagentsPerSession; ++agent) {
                    write(session + QStringLiteral("/subagents/agent-%1.jsonl").arg(agent),
                          subagentLines);
                }
            }
        }
    }
    [[nodiscard]] QString root() const { return dir_.path(); }

  private:
    static void write(const QString& path, const QByteArray& lines) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(lines) < 0) {
            qFatal("cannot write a transcript");
        }
    }

    QTemporaryDir dir_;
};

// 200 project folders of 50 transcripts each.
const ProjectTree& projectTree() {
    static const ProjectTree tree(kProjects, kTranscriptsPerProject, 0);
    return tree;
}

// 2,000 sessions in 20 project folders, each with its transcript and a folder of two subagents'.
const ProjectTree& sessionTree() {
    static const ProjectTree tree(kSessionProjects, kSessionsPerProject, kSubagentsPerSession);
    return tree;
}

struct TickShape {
    const ProjectTree& (*tree)();
    qint64 aheadMsecs;      // the clock this far past the files' modification
    bool sweepEveryTick;    // the clock moved past the sweep interval before every tick
    bool useChangeNotices;  // false: every file asked about, as where no notices exist
};

// A whole tick as the timer runs it (wall time: the work is on the worker thread). The first
// tick, which finds every file and starts it at its end, is not measured.
void BM_Tick(benchmark::State& state, TickShape shape) {
    test::FakeClock clock(QDateTime::currentDateTimeUtc().addMSecs(shape.aheadMsecs));
    ActivityMonitor monitor({shape.tree().root()}, clock.clock(), shape.useChangeNotices);
    ActivityMonitorProbe::tickAndWait(monitor);
    for (auto _ : state) {
        if (shape.sweepEveryTick) {
            clock.advance(10001);
        }
        ActivityMonitorProbe::tickAndWait(monitor);
    }
}

// The first tick of a monitor: every file found and started at its end, which reads the last
// bytes of each once to tell a later rewrite from an append.
void BM_FirstTick(benchmark::State& state) {
    const QString root = projectTree().root();
    test::FakeClock clock(QDateTime::currentDateTimeUtc());
    for (auto _ : state) {
        ActivityMonitor monitor({root}, clock.clock(), true);
        ActivityMonitorProbe::tickAndWait(monitor);
    }
}
BENCHMARK(BM_FirstTick)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr qint64 kLongAgo = 3600 * 1000;

// Every transcript idle (modified long ago): a tick is the sweep and nothing else.
BENCHMARK_CAPTURE(BM_Tick, SweepTick_10000Idle, TickShape{projectTree, kLongAgo, true, true})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// Every transcript active and unchanged, sweep included: the costliest tick with nothing to read.
BENCHMARK_CAPTURE(BM_Tick, NoChangeTick_10000Active, TickShape{projectTree, 0, true, true})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The ticks between sweeps: nothing but the active transcripts.
BENCHMARK_CAPTURE(BM_Tick, NoChangeTickWithoutSweep_10000Active,
                  TickShape{projectTree, 0, false, true})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The first two without change notices: one status query per file, as on other platforms.
BENCHMARK_CAPTURE(BM_Tick, SweepTick_10000Idle_Polled,
                  TickShape{projectTree, kLongAgo, true, false})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Tick, NoChangeTick_10000Active_Polled, TickShape{projectTree, 0, true, false})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Sessions with subagents: each sweep lists the session folders and their subagents folders too.
BENCHMARK_CAPTURE(BM_Tick, SweepTick_2000SessionFolders,
                  TickShape{sessionTree, kLongAgo, true, true})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Tick, NoChangeTick_2000SessionFolders_6000Active,
                  TickShape{sessionTree, 0, true, true})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Tick, SweepTick_2000SessionFolders_Polled,
                  TickShape{sessionTree, kLongAgo, true, false})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// What counting each reply once holds at most: 100,000 replies met within ten minutes, each over
// two lines. Reports the heap the ledger holds (glibc's count of bytes in use).
void BM_ReplyLedger_100000Replies(benchmark::State& state) {
    std::vector<LineUsage> lines;
    for (int i = 0; i < 100'000; ++i) {
        lines.push_back(
            LineUsage{false, 600, "msg_01AbCdEf" + std::to_string(1000000000000000 + i)});
    }
    double held = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        ReplyLedger replies;
        for (int i = 0; i < int(lines.size()); ++i) {
            replies.advanceTo(i * 6);  // 100,000 replies in 600 s
            benchmark::DoNotOptimize(replies.counted(lines[i]));
            benchmark::DoNotOptimize(replies.counted(lines[i]));
        }
        held = double(mallinfo2().uordblks - before);
    }
    state.counters["bytes held"] = held;
    state.counters["bytes per reply kept"] = held / double(ReplyLedger::mostReplies);
}
BENCHMARK(BM_ReplyLedger_100000Replies)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brimlet::bench

// The ticks publish through the event loop, so the benchmarks run inside an application object.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

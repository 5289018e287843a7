#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <limits>

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
        // Pieces end at a line feed, as consume hands them over.
        for (qsizetype at = 0; at < bytes.size();) {
            const QByteArrayView upToPieceSize = QByteArrayView(bytes).sliced(
                at, std::min<qsizetype>(kPieceBytes, bytes.size() - at));
            const QByteArrayView piece = upToPieceSize.first(upToPieceSize.lastIndexOf('\n') + 1);
            tokens += chunkTokens(piece).opus;
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
    readPieces(state, [&tokens](QByteArrayView piece) { tokens += chunkTokens(piece).opus; });
    state.counters["Opus tokens"] = tokens / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadAndIngest)->Unit(benchmark::kMillisecond);

// 200 project folders of 50 transcripts each, a few lines in every one.
class ProjectTree {
  public:
    ProjectTree() {
        const QByteArray lines = generatedTranscript(2048);
        for (int project = 0; project < kProjects; ++project) {
            const QString folder = dir_.filePath(QStringLiteral("-home-kim-src-p%1").arg(project));
            QDir().mkpath(folder);
            for (int i = 0; i < kTranscriptsPerProject; ++i) {
                QFile file(folder + QStringLiteral("/%1.jsonl").arg(i));
                if (!file.open(QIODevice::WriteOnly) || file.write(lines) < 0) {
                    qFatal("cannot write a transcript");
                }
            }
        }
    }
    [[nodiscard]] QString root() const { return dir_.path(); }

  private:
    QTemporaryDir dir_;
};

const ProjectTree& projectTree() {
    static const ProjectTree tree;
    return tree;
}

struct TickShape {
    qint64 aheadMsecs;      // the clock this far past the files' modification
    bool sweepEveryTick;    // the clock moved past the sweep interval before every tick
    bool useChangeNotices;  // false: every file asked about, as where no notices exist
};

// A whole tick as the timer runs it (wall time: the work is on the worker thread). The first
// tick, which finds every file and starts it at its end, is not measured.
void BM_Tick(benchmark::State& state, TickShape shape) {
    test::FakeClock clock(QDateTime::currentDateTimeUtc().addMSecs(shape.aheadMsecs));
    ActivityMonitor monitor(projectTree().root(), clock.clock(), shape.useChangeNotices);
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
        ActivityMonitor monitor(root, clock.clock(), true);
        ActivityMonitorProbe::tickAndWait(monitor);
    }
}
BENCHMARK(BM_FirstTick)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr qint64 kLongAgo = 3600 * 1000;

// Every transcript idle (modified long ago): a tick is the sweep and nothing else.
BENCHMARK_CAPTURE(BM_Tick, SweepTick_10000Idle, TickShape{kLongAgo, true, true})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// Every transcript active and unchanged, sweep included: the costliest tick with nothing to read.
BENCHMARK_CAPTURE(BM_Tick, NoChangeTick_10000Active, TickShape{0, true, true})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The ticks between sweeps: nothing but the active transcripts.
BENCHMARK_CAPTURE(BM_Tick, NoChangeTickWithoutSweep_10000Active, TickShape{0, false, true})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The first two without change notices: one status query per file, as on other platforms.
BENCHMARK_CAPTURE(BM_Tick, SweepTick_10000Idle_Polled, TickShape{kLongAgo, true, false})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Tick, NoChangeTick_10000Active_Polled, TickShape{0, true, false})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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

#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "activity/CachedFileSystem.h"
#include "activity/ReplyLedger.h"
#include "activity/Signal.h"
#include "activity/TokenEvent.h"
#include "activity/TranscriptChunk.h"
#include "activity/TranscriptFile.h"
#include "activity/WholeLineReader.h"
#include "base/Clock.h"

class QTimer;

namespace brimlet {

class SerialQueue;

// Follows the transcript files that Claude Code appends to, every 2 seconds, and publishes the
// output tokens per second of Opus and of Fable models over the last 20 seconds when they change.
//
// Two places touch it. The main thread: start, the timer, the published Signal and onUpdate. The
// worker "brimlet.activity": all file work, line parsing and rate computation, so the state below
// marked as the worker's is touched nowhere else and needs no lock. Only the finished Signal
// crosses back, by value.
class ActivityMonitor : public QObject {
  public:
    using Signal = brimlet::Signal;

    // Follows the transcript folders Claude Code writes to (transcriptRoots) with the system
    // clock. Starts no timer and touches no file; its worker thread waits idle until the first
    // tick.
    ActivityMonitor();
    // Follows the project folders under each of `roots`, reading wall-clock time from `clock`;
    // without `useChangeNotices` every tick asks the file system about every file it follows, as
    // on platforms that give no change notices.
    ActivityMonitor(const QStringList& roots, Clock clock, bool useChangeNotices = true);
    // Safe while work is queued or running: queued work is dropped, running work waited for, and
    // a publication still on its way to the main thread is discarded.
    ~ActivityMonitor() override;
    ActivityMonitor(const ActivityMonitor&) = delete;
    ActivityMonitor& operator=(const ActivityMonitor&) = delete;

    // Starts the 2-second tick and runs the first one at once. Call after setting onUpdate.
    void start();

    // The rates last published; both 0 until a tick has found them otherwise.
    [[nodiscard]] Signal signal() const { return signal_; }

    // Called on the main thread after each publication: after a tick that changed the rates.
    // Ticks that change nothing publish nothing, so that an idle program sleeps between them.
    std::function<void()> onUpdate;

  private:
    friend class ActivityMonitorProbe;  // lets tests and benchmarks run single ticks

    // Where reading a transcript stands, the modification time it had then, and a fingerprint of
    // the bytes just before the position: together they tell a file rewritten in place, also one
    // rewritten before anything of it was read.
    struct Transcript {
        ReadPosition position;
        qint64 modifiedMsecs = 0;
        std::optional<std::uint64_t> tail;

        // A file first seen, or seen anew: read from its end on.
        [[nodiscard]] static Transcript at(const FileStatus& status, const TranscriptFile& file) {
            return {ReadPosition::at(status.size), status.modifiedMsecs,
                    file.fingerprintBefore(status.size)};
        }
    };
    // Where a file was last found: its path, and the cache of the root it lies under.
    struct FoundAt {
        std::string path;
        CachedFileSystem* files;
    };
    // Files by identity, each where it was last found.
    using FilePaths = std::unordered_map<FileIdentity, FoundAt, FileIdentityHash>;

    void tick();
    void publish(Signal latest);

    // On the worker only.
    [[nodiscard]] Signal rate();
    void scan();
    [[nodiscard]] bool sweepDue(const QDateTime& now) const;
    void sweep();
    // What a folder holds that the sweep follows: in a project folder its transcripts and the
    // subagents' transcripts of its session folders, in a session folder its subagents folder, in
    // that folder its transcripts.
    enum class FolderRole { Project, Session, Subagents };
    struct SweepPass {
        CachedFileSystem& files;
        qint64 cutoffMsecs;
        FilePaths& recent;
    };
    void sweepFolder(const SweepPass& pass, const std::string& folder, bool isPlainFolder,
                     FolderRole role);
    void sweepTranscript(const SweepPass& pass, std::string path);
    void meet(const FileStatus& status, const std::string& path);
    void consume(const FileIdentity& identity, const FoundAt& found, TokenSums& tokens);
    void record(const TokenSums& tokens);

    // Main thread.
    Signal signal_;
    QTimer* timer_ = nullptr;
    // From a tick's submission until the worker has done it; set on the main thread, cleared on
    // the worker.
    std::atomic<bool> tickPending_ = false;

    // Worker. Paths are the file system's own bytes, so no file name is lost to re-encoding.
    const Clock clock_;
    std::vector<std::unique_ptr<CachedFileSystem>> roots_;  // one per folder of project folders
    // Every file ever found, by identity, so that a file reached by two paths is read once and a
    // new file at a known path is not taken for the old one. Never removed.
    std::unordered_map<FileIdentity, Transcript, FileIdentityHash> transcripts_;
    FilePaths active_;     // modified at most 120 s before the last sweep
    QDateTime lastSweep_;  // invalid, the distant past, until the first sweep
    std::vector<TokenEvent> events_;
    Signal published_;     // the rates last handed to the main thread
    ReplyLedger replies_;  // across all files: a reply is counted once wherever its lines stand

    // Last, so that it goes first: its worker uses everything above.
    std::unique_ptr<SerialQueue> queue_;
};

}  // namespace brimlet

#include "activity/ActivityMonitor.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include "activity/FileStatus.h"
#include "activity/SerialQueue.h"
#include "activity/TranscriptFile.h"

namespace brimlet {
namespace {

constexpr int kTickIntervalMsecs = 2000;
constexpr qint64 kSweepIntervalMsecs = 10 * 1000;
constexpr qint64 kActiveAgeMsecs = 120 * 1000;
constexpr qint64 kWindowMsecs = 20 * 1000;
constexpr double kWindowSeconds = kWindowMsecs / 1000.0;
// Appended bytes are read in pieces of at most this size, each ending at a line feed; a longer
// line is passed over.
constexpr std::size_t kPieceBytes = 4 * 1024 * 1024;
// At most this much of one file is read in a tick, so that a huge append (or a huge tail without
// a line feed) is read over several ticks and a tick stays well within its 2 seconds.
constexpr std::uint64_t kReadBytesPerTick = 256 * 1024 * 1024;

// Transcripts are the visible files of a project folder whose extension is exactly "jsonl".
bool isTranscriptName(std::string_view name) {
    return !name.starts_with('.') && name.ends_with(".jsonl");
}

}  // namespace

ActivityMonitor::ActivityMonitor()
    : ActivityMonitor(QDir::homePath() + QStringLiteral("/.claude/projects"), systemNow) {}

ActivityMonitor::ActivityMonitor(const QString& root, Clock clock, bool useChangeNotices)
    : root_(QFile::encodeName(root).toStdString()),
      clock_(std::move(clock)),
      files_(root_, useChangeNotices),
      queue_(std::make_unique<SerialQueue>(QStringLiteral("brimlet.activity"))) {}

ActivityMonitor::~ActivityMonitor() {
    // Before any member goes: the worker's tasks use them all.
    queue_.reset();
}

void ActivityMonitor::start() {
    if (timer_ != nullptr) {
        return;
    }
    // A child: it goes with the monitor, so it never fires at a monitor that is gone.
    timer_ = new QTimer(this);
    timer_->setInterval(kTickIntervalMsecs);
    connect(timer_, &QTimer::timeout, this, &ActivityMonitor::tick);
    timer_->start();
    tick();
}

void ActivityMonitor::tick() {
    // While a tick is still at work the next one is skipped, not queued behind it: queued ticks
    // would only repeat its work and publish stale rates late. What a tick reads of each file is
    // bounded, so a tick is skipped only when the file system itself stalls; the running tick
    // publishes then.
    if (tickPending_) {
        return;
    }
    tickPending_ = true;
    // `this` stays valid for the task: the destructor drops queued tasks and waits for a running
    // one before any member goes.
    queue_->async([this] {
        scan();
        const Signal latest = rate();
        // Posted to this object, so Qt discards it if the monitor is destroyed before it runs.
        QMetaObject::invokeMethod(
            this, [this, latest] { publish(latest); }, Qt::QueuedConnection);
    });
}

void ActivityMonitor::publish(Signal latest) {
    tickPending_ = false;
    signal_ = latest;
    if (onUpdate) {
        onUpdate();
    }
}

ActivityMonitor::Signal ActivityMonitor::rate() {
    const QDateTime now = clock_();
    const QDateTime cutoff = now.addMSecs(-kWindowMsecs);
    // An event stamped after `now` means the clock was set back; kept, it would hold its rate up
    // until the clock caught up again.
    std::erase_if(events_,
                  [&](const TokenEvent& event) { return event.at < cutoff || event.at > now; });
    double opusTokens = 0;
    double fableTokens = 0;
    for (const TokenEvent& event : events_) {
        (event.isFable ? fableTokens : opusTokens) += event.tokens;
    }
    return Signal{opusTokens / kWindowSeconds, fableTokens / kWindowSeconds};
}

void ActivityMonitor::scan() {
    // A folder listing that changed (a new transcript or project folder) is swept at once, not at
    // the next sweep: lines appended after a file appears then count from the next tick on.
    const bool listingsChanged = files_.refresh();
    if (listingsChanged || sweepDue(clock_())) {
        sweep();  // before the reads, so a file first seen now starts at its end: nothing yet
    }
    TokenSums tokens;
    for (const auto& [identity, path] : active_) {
        consume(identity, path, tokens);
    }
    record(tokens);
}

bool ActivityMonitor::sweepDue(const QDateTime& now) const {
    // A clock set back would otherwise hold off every sweep until it caught up again.
    return !lastSweep_.isValid() || now < lastSweep_ ||
           lastSweep_.msecsTo(now) > kSweepIntervalMsecs;
}

void ActivityMonitor::sweep() {
    const QDateTime now = clock_();
    lastSweep_ = now;  // first, so a failing sweep also waits its turn
    const std::optional<std::vector<FolderEntry>> projects = files_.entries(root_, true);
    if (!projects) {
        return;  // root missing or unreadable: the active files stay as they were
    }
    FilePaths recent;
    for (const FolderEntry& project : *projects) {
        sweepProject(root_ + '/' + project.name, project.kind == FolderEntry::Kind::Folder,
                     now.toMSecsSinceEpoch() - kActiveAgeMsecs, recent);
    }
    active_ = std::move(recent);
}

void ActivityMonitor::sweepProject(const std::string& folder, bool isPlainFolder,
                                   qint64 cutoffMsecs, FilePaths& recent) {
    const std::optional<std::vector<FolderEntry>> children = files_.entries(folder, isPlainFolder);
    if (!children) {
        return;  // a plain file in root, or a folder that can't be listed
    }
    for (const FolderEntry& child : *children) {
        if (!isTranscriptName(child.name)) {
            continue;
        }
        std::string path = folder + '/' + child.name;
        const std::optional<FileStatus> status = files_.status(path);
        if (!status) {
            continue;
        }
        meet(*status, path);
        if (status->modifiedMsecs >= cutoffMsecs) {
            recent.try_emplace(status->identity, std::move(path));  // a file reached twice: once
        }
    }
}

// A file first seen is read from its end on. What it holds then is never counted, also when it
// appeared only since the last tick: that may be history that a resumed session copied into it,
// which must not show as a burst.
void ActivityMonitor::meet(const FileStatus& status, const std::string& path) {
    if (!transcripts_.contains(status.identity)) {
        transcripts_.emplace(status.identity, Transcript::at(status, TranscriptFile(path)));
    }
}

void ActivityMonitor::consume(const FileIdentity& identity, const std::string& path,
                              TokenSums& tokens) {
    const std::optional<FileStatus> status = files_.status(path);
    if (!status) {
        return;
    }
    if (status->identity != identity) {
        // Another file has taken the path (renamed over it, or made anew): a new file.
        meet(*status, path);
        return;
    }
    Transcript& transcript = transcripts_[identity];
    if (status->size == transcript.position.searched &&
        status->modifiedMsecs == transcript.modifiedMsecs) {
        return;
    }
    if (status->size < transcript.position.searched) {
        transcript = Transcript::at(*status, TranscriptFile(path));  // shrunk: read from here on
        return;
    }
    const TranscriptFile file(path);
    const std::optional<FileStatus> opened = file.status();
    if (!opened || opened->identity != identity) {
        return;  // gone or replaced since it was asked about: the next tick tells
    }
    const std::optional<std::uint64_t> tail = file.fingerprintBefore(transcript.position.offset);
    if (transcript.tail && tail && *tail != *transcript.tail) {
        // Truncated and written again faster than a tick: what it holds now is taken as a new
        // file's, from its end.
        transcript = Transcript::at(*opened, file);
        return;
    }
    // Only whole lines, and only up to the size just queried: bytes appended meanwhile and a line
    // still being written are read on a later tick, once and whole.
    const std::uint64_t before = transcript.position.offset;
    transcript.position =
        readWholeLines(file, transcript.position, opened->size, {kPieceBytes, kReadBytesPerTick},
                       [&tokens](QByteArrayView piece) { tokens += chunkTokens(piece); });
    transcript.modifiedMsecs = opened->modifiedMsecs;
    transcript.tail = transcript.position.offset == before
                          ? tail
                          : file.fingerprintBefore(transcript.position.offset);
}

// The events of one tick share their instant, so one sum per model is kept: a burst of lines
// leaves two events, not one per line.
void ActivityMonitor::record(const TokenSums& tokens) {
    const QDateTime at = clock_();
    if (tokens.opus > 0) {
        events_.push_back(TokenEvent{at, false, tokens.opus});
    }
    if (tokens.fable > 0) {
        events_.push_back(TokenEvent{at, true, tokens.fable});
    }
}

}  // namespace brimlet

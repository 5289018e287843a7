#include "activity/ActivityMonitor.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTimer>
#include <algorithm>

#include "activity/FileStatus.h"
#include "activity/SerialQueue.h"
#include "activity/TranscriptFile.h"
#include "base/ClaudeFolders.h"

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

// Transcripts are the visible files of a project folder (or of a session's subagents folder)
// whose extension is exactly "jsonl".
bool isTranscriptName(std::string_view name) {
    return !name.starts_with('.') && name.ends_with(".jsonl");
}

// Where a session's subagents write their transcripts, inside the session's folder.
constexpr std::string_view kSubagentsFolder = "subagents";

}  // namespace

ActivityMonitor::ActivityMonitor()
    : ActivityMonitor(transcriptRoots(QProcessEnvironment::systemEnvironment(), QDir::homePath()),
                      systemNow) {}

ActivityMonitor::ActivityMonitor(const QStringList& roots, Clock clock, bool useChangeNotices)
    : clock_(std::move(clock)),
      queue_(std::make_unique<SerialQueue>(QStringLiteral("brimlet.activity"))) {
    for (const QString& root : roots) {
        roots_.push_back(std::make_unique<CachedFileSystem>(QFile::encodeName(root).toStdString(),
                                                            useChangeNotices));
    }
}

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
    if (tickPending_.exchange(true)) {
        return;
    }
    // `this` stays valid for the task: the destructor drops queued tasks and waits for a running
    // one before any member goes.
    queue_->async([this] {
        scan();
        const Signal latest = rate();
        const bool changed = latest != published_;
        published_ = latest;
        tickPending_ = false;
        if (changed) {
            // Posted to this object, so Qt discards it if the monitor is destroyed before it runs.
            QMetaObject::invokeMethod(
                this, [this, latest] { publish(latest); }, Qt::QueuedConnection);
        }
    });
}

void ActivityMonitor::publish(Signal latest) {
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
    bool listingsChanged = false;
    for (const auto& files : roots_) {
        listingsChanged = files->refresh() || listingsChanged;  // every root takes its notices
    }
    if (listingsChanged || sweepDue(clock_())) {
        sweep();  // before the reads, so a file first seen now starts at its end: nothing yet
    }
    replies_.advanceTo(clock_().toMSecsSinceEpoch());
    TokenSums tokens;
    for (const auto& [identity, found] : active_) {
        consume(identity, found, tokens);
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
    FilePaths recent;
    std::vector<FileIdentity> swept;
    for (const auto& files : roots_) {
        // A root reached twice (a link, or one configuration folder inside the other's place) is
        // swept once.
        const std::optional<FileIdentity> identity = folderIdentity(files->root());
        if (!identity || std::ranges::find(swept, *identity) != swept.end()) {
            continue;
        }
        const std::optional<std::vector<FolderEntry>> projects =
            files->entries(files->root(), true);
        if (!projects) {
            continue;
        }
        swept.push_back(*identity);
        const SweepPass pass{*files, now.toMSecsSinceEpoch() - kActiveAgeMsecs, recent};
        for (const FolderEntry& project : *projects) {
            sweepFolder(pass, files->root() + '/' + project.name,
                        project.kind == FolderEntry::Kind::Folder, FolderRole::Project);
        }
    }
    if (!swept.empty()) {
        active_ = std::move(recent);
    }
    // No root could be listed: the active files stay as they were.
}

void ActivityMonitor::sweepFolder(const SweepPass& pass, const std::string& folder,
                                  bool isPlainFolder, FolderRole role) {
    // Kept and watched like the project folders, so that a session's subagents folder, and a
    // subagent's transcript in it, are found at the tick they appear.
    const std::optional<std::vector<FolderEntry>> children =
        pass.files.entries(folder, isPlainFolder);
    if (!children) {
        return;  // a plain file where a folder may stand, or a folder that can't be listed
    }
    for (const FolderEntry& child : *children) {
        const bool mayBeFolder = child.kind != FolderEntry::Kind::File;
        switch (role) {
            case FolderRole::Project:
                if (isTranscriptName(child.name)) {
                    sweepTranscript(pass, folder + '/' + child.name);
                } else if (mayBeFolder && !child.name.starts_with('.')) {
                    sweepFolder(pass, folder + '/' + child.name,
                                child.kind == FolderEntry::Kind::Folder, FolderRole::Session);
                }
                break;
            case FolderRole::Session:
                if (mayBeFolder && child.name == kSubagentsFolder) {
                    sweepFolder(pass, folder + '/' + child.name,
                                child.kind == FolderEntry::Kind::Folder, FolderRole::Subagents);
                }
                break;
            case FolderRole::Subagents:
                if (isTranscriptName(child.name)) {
                    sweepTranscript(pass, folder + '/' + child.name);
                }
                break;
        }
    }
}

void ActivityMonitor::sweepTranscript(const SweepPass& pass, std::string path) {
    const std::optional<FileStatus> status = pass.files.status(path);
    if (!status) {
        return;
    }
    meet(*status, path);
    if (status->modifiedMsecs >= pass.cutoffMsecs) {
        // A file reached twice: once.
        pass.recent.try_emplace(status->identity, FoundAt{std::move(path), &pass.files});
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

void ActivityMonitor::consume(const FileIdentity& identity, const FoundAt& found,
                              TokenSums& tokens) {
    const std::string& path = found.path;
    const std::optional<FileStatus> status = found.files->status(path);
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
                       [&](QByteArrayView piece) { tokens += chunkTokens(piece, replies_); });
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

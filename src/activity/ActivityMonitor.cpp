#include "activity/ActivityMonitor.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include "activity/FileStatus.h"
#include "activity/SerialQueue.h"
#include "activity/TranscriptChunk.h"
#include "activity/WholeLineReader.h"

namespace brimlet {
namespace {

constexpr int kTickIntervalMsecs = 2000;
constexpr qint64 kSweepIntervalMsecs = 10 * 1000;
constexpr qint64 kActiveAgeMsecs = 120 * 1000;
constexpr qint64 kWindowMsecs = 20 * 1000;
constexpr double kWindowSeconds = kWindowMsecs / 1000.0;
// Appended bytes are read in pieces of at most this size, each ending at a line feed.
constexpr std::size_t kPieceBytes = 4 * 1024 * 1024;

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
    files_.refresh();
    if (sweepDue(clock_())) {
        sweep();  // before the reads, so a file first seen now starts at its end: nothing yet
    }
    for (const std::string& path : active_) {
        consume(path);
    }
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
    std::unordered_set<std::string> recent;
    for (const FolderEntry& project : *projects) {
        sweepProject(root_ + '/' + project.name, project.kind == FolderEntry::Kind::Folder,
                     now.toMSecsSinceEpoch() - kActiveAgeMsecs, recent);
    }
    active_ = std::move(recent);
}

void ActivityMonitor::sweepProject(const std::string& folder, bool isPlainFolder,
                                   qint64 cutoffMsecs, std::unordered_set<std::string>& recent) {
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
        // A file first seen is read from its end on, so what it held then is never counted.
        offsets_.try_emplace(path, status->size);
        if (status->modifiedMsecs >= cutoffMsecs) {
            recent.insert(std::move(path));
        }
    }
}

void ActivityMonitor::consume(const std::string& path) {
    const auto offset = offsets_.find(path);
    if (offset == offsets_.end()) {
        return;
    }
    const std::optional<FileStatus> status = files_.status(path);
    if (!status || status->size == offset->second) {
        return;
    }
    if (status->size < offset->second) {
        offset->second = status->size;  // shrunk, or replaced by a shorter file: read from here on
        return;
    }
    // Only up to the size just queried, and only whole lines: bytes appended meanwhile and a line
    // still being written are read on a later tick, once and whole.
    offset->second = readWholeLines(path, offset->second, status->size, kPieceBytes,
                                    [this](QByteArrayView piece) { ingest(piece); });
}

void ActivityMonitor::ingest(QByteArrayView data) {
    const std::vector<LineUsage> usages = chunkUsages(data);
    if (usages.empty()) {
        return;
    }
    const QDateTime at = clock_();
    for (const LineUsage& usage : usages) {
        events_.push_back(TokenEvent{at, usage.isFable, usage.tokens});
    }
}

}  // namespace brimlet

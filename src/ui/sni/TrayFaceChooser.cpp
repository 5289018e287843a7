#include "ui/sni/TrayFaceChooser.h"

namespace brimlet {

TrayFaceChooser::TrayFaceChooser(bool xembedPossible, bool watcherPresent)
    : xembedPossible_(xembedPossible), watcherPresent_(watcherPresent) {}

void TrayFaceChooser::observe(bool watcherPresent, bool registered, qint64 nowMs) {
    if (watcherPresent_ && !watcherPresent) {
        watcherLeftAt_ = nowMs;
    } else if (watcherPresent) {
        watcherLeftAt_.reset();
    }
    watcherPresent_ = watcherPresent;
    registered_ = registered;
}

TrayFaceChooser::Face TrayFaceChooser::face(qint64 nowMs) const {
    if (registered_ || watcherPresent_ || !xembedPossible_) {
        return Face::StatusNotifier;
    }
    if (watcherLeftAt_ && nowMs < *watcherLeftAt_ + graceMs) {
        return Face::StatusNotifier;
    }
    return Face::XEmbed;
}

std::optional<qint64> TrayFaceChooser::nextChange(qint64 nowMs) const {
    if (face(nowMs) == Face::StatusNotifier && !registered_ && !watcherPresent_ &&
        xembedPossible_ && watcherLeftAt_) {
        return *watcherLeftAt_ + graceMs;
    }
    return std::nullopt;
}

}  // namespace brimlet

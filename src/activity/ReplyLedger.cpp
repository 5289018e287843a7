#include "activity/ReplyLedger.h"

#include <algorithm>

namespace brimlet {

void ReplyLedger::advanceTo(qint64 nowMsecs) {
    nowMsecs_ = nowMsecs;
    // Ordered by when they were seen, so the ones to forget are at the front. After the clock was
    // set back the order is off for a while: a few stay longer, bounded by mostReplies.
    while (!bySeen_.empty() && bySeen_.front().seenMsecs < nowMsecs - forgetAfterMsecs) {
        forgetOldest();
    }
}

double ReplyLedger::counted(const LineUsage& line) {
    if (line.messageId.empty()) {
        return line.tokens;
    }
    if (const auto known = byId_.find(line.messageId); known != byId_.end()) {
        Reply& reply = *known->second;
        reply.seenMsecs = nowMsecs_;
        bySeen_.splice(bySeen_.end(), bySeen_, known->second);
        const double growth = std::max(0.0, line.tokens - reply.highest);
        reply.highest += growth;
        return growth;
    }
    if (byId_.size() >= mostReplies) {
        forgetOldest();
    }
    bySeen_.push_back(Reply{line.messageId, line.tokens, nowMsecs_});
    byId_.emplace(bySeen_.back().id, std::prev(bySeen_.end()));
    return line.tokens;
}

void ReplyLedger::forgetOldest() {
    byId_.erase(bySeen_.front().id);
    bySeen_.pop_front();
}

}  // namespace brimlet

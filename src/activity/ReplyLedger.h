#pragma once

#include <QtGlobal>
#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "activity/LineUsage.h"

namespace brimlet {

// Counts each model reply once. Claude Code writes a reply one content block a line, every line
// under the reply's message id and with a usage: mostly the same usage copied, otherwise an
// output count growing from a placeholder to the final one. So a line adds only what its reply's
// highest count grew by; a line without an id adds its whole count.
//
// A reply unseen for ten minutes is forgotten (its lines are written within seconds), and at most
// mostReplies are kept, the least recently seen dropped first, so memory stays bounded however
// many replies come: about 190 bytes a reply, under 4 MB in all; even 100,000 replies in ten
// minutes leave every reply of the last two minutes known. Worker only.
class ReplyLedger {
  public:
    static constexpr qint64 forgetAfterMsecs = 10 * 60 * 1000;
    static constexpr std::size_t mostReplies = 20'000;

    ReplyLedger() = default;
    // Not copied: the index views ids inside the list's nodes.
    ReplyLedger(const ReplyLedger&) = delete;
    ReplyLedger& operator=(const ReplyLedger&) = delete;

    // Forgets the replies unseen for forgetAfterMsecs before `nowMsecs`; the lines counted from
    // here on are seen at `nowMsecs`.
    void advanceTo(qint64 nowMsecs);
    // The tokens `line` adds to its model's sum.
    [[nodiscard]] double counted(const LineUsage& line);

  private:
    struct Reply {
        std::string id;
        double highest = 0;
        qint64 seenMsecs = 0;
    };
    using Replies = std::list<Reply>;

    void forgetOldest();

    Replies bySeen_;  // least recently seen first
    // Keys view the ids inside bySeen_'s nodes, which never move.
    std::unordered_map<std::string_view, Replies::iterator> byId_;
    qint64 nowMsecs_ = 0;
};

}  // namespace brimlet

#include <gtest/gtest.h>

#include <string>

#include "activity/ReplyLedger.h"

namespace brimlet {
namespace {

LineUsage reply(const std::string& id, double tokens) {
    return {false, tokens, id};
}

// A reply unseen for ten minutes is forgotten, so its next line counts whole again; a reply seen
// within them is remembered from its last sighting. However many replies come at once, at most
// mostReplies are remembered: the least recently seen goes first.
TEST(ReplyLedgerTest, ForgetsAfterTenMinutesAndBeyondMostReplies) {
    constexpr qint64 kTenMinutes = 10 * 60 * 1000;
    const struct {
        qint64 at;
        double counted;
    } steps[] = {{0, 600}, {kTenMinutes, 0}, {2 * kTenMinutes, 0}, {3 * kTenMinutes + 1, 600}};
    ReplyLedger replies;
    for (const auto& step : steps) {
        replies.advanceTo(step.at);
        EXPECT_EQ(replies.counted(reply("m1", 600)), step.counted) << step.at;
    }
    for (std::size_t i = 0; i < ReplyLedger::mostReplies; ++i) {
        ASSERT_EQ(replies.counted(reply("msg_" + std::to_string(i), 5)), 5);
    }
    EXPECT_EQ(replies.counted(reply("msg_0", 5)), 0);  // seen again: now the most recent
    EXPECT_EQ(replies.counted(reply("msg_new", 5)), 5);
    EXPECT_EQ(replies.counted(reply("msg_0", 7)), 2);
    EXPECT_EQ(replies.counted(reply("msg_1", 5)), 5);  // dropped for msg_new
}

}  // namespace
}  // namespace brimlet

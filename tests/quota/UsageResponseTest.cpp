#include <gtest/gtest.h>

#include <QTimeZone>
#include <vector>

#include "quota/QuotaPoller.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

const QDateTime seven(QDate(2026, 4, 11), QTime(7, 0), QTimeZone::utc());
const QDateTime sevenFractional(QDate(2026, 4, 11), QTime(7, 0, 0, 528), QTimeZone::utc());

struct Expected {
    QString label;
    double usedPercent;
    std::optional<QDateTime> resetsAt;
};

TEST(UsageResponseTest, ReadsLimitsAndFallbacksOfAStrictJsonBody) {
    const struct {
        const char* name;
        const char* body;
        std::vector<Expected> buckets;
    } cases[] = {
        {"the live service's shape",
         R"({"five_hour": {"utilization": 37.0, "resets_at": "2026-04-11T07:00:00.528743+00:00"},
             "seven_day": {"utilization": 12.5, "resets_at": "2026-04-11T07:00:00+00:00"},
             "seven_day_opus": null, "extra_usage": {"is_enabled": false}})",
         {{"세션 (5시간)", 37.0, sevenFractional}, {"주간 전체", 12.5, seven}}},
        {"limits win over five_hour and fill only their own slots",
         R"({"limits": [{"kind": "session", "percent": 40}],
             "five_hour": {"utilization": 99}, "seven_day": {"utilization": 8}})",
         {{"세션 (5시간)", 40, {}}, {"주간 전체", 8, {}}}},
        {"a percent that is missing or not a number is zero",
         R"({"limits": [{"kind": "session"}, {"kind": "weekly_all", "percent": "55"}]})",
         {{"세션 (5시간)", 0, {}}, {"주간 전체", 0, {}}}},
        {"order is session, weekly, scoped",
         R"({"limits": [
             {"kind": "weekly_scoped", "percent": 3, "scope": {"model": {"display_name": "Opus"}}},
             {"kind": "weekly_all", "percent": 2, "resets_at": "2026-04-11T07:00:00.528743+00:00"},
             {"kind": "session", "percent": 1, "resets_at": "2026-04-11T07:00:00Z"}]})",
         {{"세션 (5시간)", 1, seven}, {"주간 전체", 2, sevenFractional}, {"Opus 주간", 3, {}}}},
        {"the last entry of a kind wins",
         R"({"limits": [
             {"kind": "weekly_scoped", "percent": 3, "scope": {"model": {"display_name": "Opus"}}},
             {"kind": "weekly_scoped", "percent": 4, "scope": {"model": {"display_name": ""}}}]})",
         {{" 주간", 4, {}}}},
        {"scoped without a readable display name",
         R"({"limits": [{"kind": "weekly_scoped", "percent": 5,
                         "scope": {"model": {"display_name": 7}}}]})",
         {{"모델 주간", 5, {}}}},
        {"one non-object discards the whole limits array",
         R"({"limits": [{"kind": "session", "percent": 40}, "oops"],
             "five_hour": {"utilization": 11}, "seven_day": {"utilization": 22}})",
         {{"세션 (5시간)", 11, {}}, {"주간 전체", 22, {}}}},
        {"kind in another letter case, missing or not a string",
         R"({"limits": [{"kind": "Session", "percent": 1}, {"percent": 2}, {"kind": 3}]})",
         {}},
        {"reset times that are not date-times",
         R"({"limits": [{"kind": "session", "percent": 1, "resets_at": "2026-04-11T07:00:00"},
                        {"kind": "weekly_all", "percent": 2, "resets_at": 1775890800}]})",
         {{"세션 (5시간)", 1, {}}, {"주간 전체", 2, {}}}},
        {"utilization as a string drops only that fallback",
         R"({"five_hour": {"utilization": "12"}, "seven_day": {"utilization": 130}})",
         {{"주간 전체", 130, {}}}},
        // Bodies that are not strict JSON, though QJsonDocument alone would take them.
        {"a fraction without digits", R"({"five_hour": {"utilization": 1.}})", {}},
        {"an overlong UTF-8 form",
         "{\"five_hour\": {\"utilization\": 1, \"x\": \"\xC0\x80\"}}",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QList<Bucket> buckets = QuotaPoller::parse(QByteArray(c.body));
        ASSERT_EQ(buckets.size(), static_cast<qsizetype>(c.buckets.size()));
        for (size_t i = 0; i < c.buckets.size(); ++i) {
            const Bucket& bucket = buckets[static_cast<qsizetype>(i)];
            EXPECT_EQ(bucket.label(), c.buckets[i].label);
            EXPECT_EQ(bucket.usedPercent(), c.buckets[i].usedPercent);
            EXPECT_EQ(bucket.resetsAt(), c.buckets[i].resetsAt);
        }
    }
}

}  // namespace
}  // namespace brimlet

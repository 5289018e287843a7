#include <gtest/gtest.h>

#include <QTimeZone>
#include <vector>

#include "quota/QuotaPoller.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

const QDateTime sevenUtc(QDate(2026, 4, 11), QTime(7, 0), QTimeZone::utc());
const QDateTime sevenFractional(QDate(2026, 4, 11), QTime(7, 0, 0, 528), QTimeZone::utc());

struct Expected {
    QString label;
    double usedPercent;
    std::optional<QDateTime> resetsAt;
};

struct Case {
    const char* name;
    const char* body;
    std::vector<Expected> buckets;
};

void check(const Case& c) {
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

TEST(UsageResponseTest, ReadsTheLiveServiceShape) {
    check({"live answer",
           R"({"five_hour": {"utilization": 37.0, "resets_at": "2026-04-11T07:00:00.528743+00:00"},
               "seven_day": {"utilization": 12.5, "resets_at": "2026-04-11T07:00:00+00:00"},
               "seven_day_oauth_apps": null, "seven_day_opus": null,
               "extra_usage": {"is_enabled": false, "monthly_limit": null, "used_credits": null}})",
           {{"세션 (5시간)", 37.0, sevenFractional}, {"주간 전체", 12.5, sevenUtc}}});
}

TEST(UsageResponseTest, ReadsLimitsAndFallbacks) {
    const Case cases[] = {
        {"only five_hour",
         R"({"five_hour": {"utilization": 12.5, "resets_at": "2026-04-11T07:00:00Z"}})",
         {{"세션 (5시간)", 12.5, sevenUtc}}},
        {"limits win over five_hour",
         R"({"limits": [{"kind": "session", "percent": 40}],
             "five_hour": {"utilization": 99, "resets_at": "2026-04-11T07:00:00Z"}})",
         {{"세션 (5시간)", 40, {}}}},
        {"limits entry fills only its own slot",
         R"({"limits": [{"kind": "session", "percent": 40}],
             "seven_day": {"utilization": 8}})",
         {{"세션 (5시간)", 40, {}}, {"주간 전체", 8, {}}}},
        {"missing percent is zero",
         R"({"limits": [{"kind": "session"}]})",
         {{"세션 (5시간)", 0, {}}}},
        {"percent as a string is zero",
         R"({"limits": [{"kind": "weekly_all", "percent": "55"}]})",
         {{"주간 전체", 0, {}}}},
        {"percent as a boolean is zero",
         R"({"limits": [{"kind": "weekly_all", "percent": true}]})",
         {{"주간 전체", 0, {}}}},
        {"order is session, weekly, scoped",
         R"({"limits": [
             {"kind": "weekly_scoped", "percent": 3,
              "scope": {"model": {"display_name": "Opus"}}},
             {"kind": "weekly_all", "percent": 2, "resets_at": "2026-04-11T07:00:00.528743+00:00"},
             {"kind": "session", "percent": 1, "resets_at": "2026-04-11T07:00:00Z"}]})",
         {{"세션 (5시간)", 1, sevenUtc}, {"주간 전체", 2, sevenFractional}, {"Opus 주간", 3, {}}}},
        {"the last entry of a kind wins",
         R"({"limits": [
             {"kind": "weekly_scoped", "percent": 3, "scope": {"model": {"display_name": "Opus"}}},
             {"kind": "weekly_scoped", "percent": 4,
              "scope": {"model": {"display_name": "Fable"}}}]})",
         {{"Fable 주간", 4, {}}}},
        {"scoped without scope",
         R"({"limits": [{"kind": "weekly_scoped", "percent": 5}]})",
         {{"모델 주간", 5, {}}}},
        {"scoped with a display name that is not a string",
         R"({"limits": [{"kind": "weekly_scoped", "percent": 5,
                         "scope": {"model": {"display_name": 7}}}]})",
         {{"모델 주간", 5, {}}}},
        {"scoped with a model that is not an object",
         R"({"limits": [{"kind": "weekly_scoped", "percent": 5, "scope": {"model": "Opus"}}]})",
         {{"모델 주간", 5, {}}}},
        {"scoped with an empty display name",
         R"({"limits": [{"kind": "weekly_scoped", "percent": 5,
                         "scope": {"model": {"display_name": ""}}}]})",
         {{" 주간", 5, {}}}},
        {"one non-object discards the whole limits array",
         R"({"limits": [{"kind": "session", "percent": 40}, "oops",
                        {"kind": "weekly_scoped", "percent": 5}],
             "five_hour": {"utilization": 11}, "seven_day": {"utilization": 22}})",
         {{"세션 (5시간)", 11, {}}, {"주간 전체", 22, {}}}},
        {"limits that is not an array",
         R"({"limits": {"kind": "session", "percent": 40}, "five_hour": {"utilization": 11}})",
         {{"세션 (5시간)", 11, {}}}},
        {"kind in another letter case or missing or not a string",
         R"({"limits": [{"kind": "Session", "percent": 1}, {"percent": 2},
                        {"kind": 3, "percent": 3}, {"kind": "monthly", "percent": 4}]})",
         {}},
        {"reset times that are not date-times",
         R"({"limits": [{"kind": "session", "percent": 1, "resets_at": "2026-04-11T07:00:00"},
                        {"kind": "weekly_all", "percent": 2, "resets_at": 1775890800},
                        {"kind": "weekly_scoped", "percent": 3, "resets_at": null}]})",
         {{"세션 (5시간)", 1, {}}, {"주간 전체", 2, {}}, {"모델 주간", 3, {}}}},
        {"utilization as a string drops only that fallback",
         R"({"five_hour": {"utilization": "12"}, "seven_day": {"utilization": 30}})",
         {{"주간 전체", 30, {}}}},
        {"utilization missing or fallback not an object",
         R"({"five_hour": {"resets_at": "2026-04-11T07:00:00Z"}, "seven_day": [30]})",
         {}},
        {"raw values beyond 0 to 100 are kept",
         R"({"limits": [{"kind": "session", "percent": 130}, {"kind": "weekly_all", "percent": -5}]})",
         {{"세션 (5시간)", 130, {}}, {"주간 전체", -5, {}}}},
    };
    for (const auto& c : cases) {
        check(c);
    }
}

TEST(UsageResponseTest, BodiesOfAnotherShapeGiveNoBuckets) {
    const char* const bodies[] = {
        "",
        "not json",
        "[]",
        "[{\"kind\": \"session\", \"percent\": 1}]",
        "42",
        "\"text\"",
        "null",
        "{}",
        // Strict parsing: no trailing commas, no comments, no single quotes, nothing after the
        // root.
        R"({"five_hour": {"utilization": 1,},})",
        R"({"five_hour": {"utilization": 1}} // note)",
        R"({'five_hour': {'utilization': 1}})",
        R"({"five_hour": {"utilization": 1}} {})",
        R"({"five_hour": {"utilization": 1})",
    };
    for (const auto* body : bodies) {
        check({body, body, {}});
    }
}

TEST(BucketTest, RemainingIsTheShareLeftClampedToTheScale) {
    const struct {
        double used;
        double remaining;
    } cases[] = {{37.5, 62.5}, {0, 100}, {100, 0}, {130, 0}, {-5, 100}};
    for (const auto& c : cases) {
        const Bucket bucket(QStringLiteral("세션 (5시간)"), c.used, std::nullopt);
        EXPECT_EQ(bucket.remaining(), c.remaining) << c.used;
        EXPECT_EQ(bucket.usedPercent(), c.used);
    }
}

}  // namespace
}  // namespace brimlet

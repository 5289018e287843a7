#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "ui/AppDelegate.h"
#include "ui/StatusMenu.h"

namespace brimlet {
namespace {

const QTimeZone seoul("Asia/Seoul");

QDateTime utc(const char* text) {
    return QDateTime::fromString(QString::fromUtf8(text), Qt::ISODate);
}

QStringList texts(const MenuItems& items) {
    QStringList lines;
    for (const MenuItem& item : items) {
        lines.append(item.separator ? QStringLiteral("---") : item.text);
    }
    return lines;
}

const QStringList actionRows{"지금 새로고침", "로그인 시 자동 실행", "Brimlet 1.2.0", "종료"};

TEST(StatusMenuTest, ListsBucketsActivityAndActionsInOrder) {
    MenuState state;
    state.buckets = {Bucket("세션 (5시간)", 36.6, utc("2026-12-05T15:00:00Z")),
                     Bucket("주간 전체", 12.5, utc("2026-12-10T03:30:00.5+00:00"))};
    state.lastSuccess = utc("2026-12-05T11:02:03Z");
    state.activity = {20, 0};
    state.launchAtLogin = true;
    state.version = "1.2.0";
    const MenuItems items = buildStatusMenu(state, seoul);
    EXPECT_EQ(texts(items),
              QStringList({"세션 (5시간)   63% 남음", "      리셋 12월 6일 (일) 00:00",
                           "주간 전체   88% 남음", "      리셋 12월 10일 (목) 12:30", "---",
                           "작동 중 — Opus 20 tok/s", "마지막 갱신 20:02:03", "---"}) +
                  actionRows);

    const struct {
        int row;
        double size;
        TextRole colour;
    } styles[] = {{0, 12, TextRole::Primary},
                  {1, 11, TextRole::Secondary},
                  {5, 12, TextRole::Primary},
                  {6, 11, TextRole::Secondary},
                  {10, 11, TextRole::Tertiary}};
    for (const auto& style : styles) {
        const MenuItem& item = items.at(style.row);
        EXPECT_EQ(item.fontSize, style.size) << style.row;
        EXPECT_EQ(item.colour, style.colour) << style.row;
        EXPECT_FALSE(item.enabled) << style.row;
        EXPECT_EQ(item.action, MenuAction::None) << style.row;
    }
    const struct {
        int row;
        MenuAction action;
        QChar key;
        std::optional<bool> checked;
    } actions[] = {{8, MenuAction::Refresh, u'r', std::nullopt},
                   {9, MenuAction::ToggleLogin, {}, true},
                   {11, MenuAction::Quit, u'q', std::nullopt}};
    for (const auto& row : actions) {
        const MenuItem& item = items.at(row.row);
        EXPECT_TRUE(item.enabled) << row.row;
        EXPECT_EQ(item.action, row.action) << row.row;
        EXPECT_EQ(item.keyEquivalent, row.key) << row.row;
        EXPECT_EQ(item.checked, row.checked) << row.row;
        EXPECT_EQ(item.fontSize, 0) << row.row;
        EXPECT_EQ(item.colour, TextRole::Plain) << row.row;
    }
}

TEST(StatusMenuTest, QuotaGroupCoversEveryStateOfThePoller) {
    const QString error = QStringLiteral("HTTP 401");
    const struct {
        const char* name;
        QList<Bucket> buckets;
        std::optional<QString> lastError;
        QStringList rows;
    } cases[] = {
        {"loading", {}, std::nullopt, {"불러오는 중…"}},
        {"failed with nothing held", {}, error, {"잔량을 못 읽음 — HTTP 401"}},
        {"no reset time",
         {Bucket("세션 (5시간)", 100, std::nullopt), Bucket("Opus 주간", -3, std::nullopt)},
         std::nullopt,
         {"세션 (5시간)   0% 남음", "Opus 주간   100% 남음"}},
        {"failed while holding buckets",
         {Bucket("세션 (5시간)", 50, utc("2026-01-01T00:00:00Z")),
          Bucket("주간 전체", 37.5, std::nullopt)},
         error,
         {"세션 (5시간)   50% 남음", "      리셋 1월 1일 (목) 09:00", "주간 전체   62% 남음",
          "      갱신 실패 — HTTP 401"}},
    };
    for (const auto& c : cases) {
        MenuState state;
        state.buckets = c.buckets;
        state.lastError = c.lastError;
        state.version = "?";
        // Without a last success the second separator follows the activity line directly.
        const QStringList rest{
            "---", "대기 중", "---", "지금 새로고침", "로그인 시 자동 실행", "Brimlet ?", "종료"};
        EXPECT_EQ(texts(buildStatusMenu(state, seoul)), c.rows + rest) << c.name;
    }
}

TEST(StatusMenuTest, ActivityLineNamesTheModelsAboveHalfATokenPerSecond) {
    const struct {
        Signal activity;
        const char* line;
    } cases[] = {
        {{0, 0}, "대기 중"},
        {{0.5, 0.5}, "대기 중"},
        {{0, 12.4}, "작동 중 — Fable 12 tok/s"},
        {{0.51, 0}, "작동 중 — Opus 1 tok/s"},
        {{40, 3}, "작동 중 — Opus 40 tok/s, Fable 3 tok/s"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(activityLine(c.activity), QString::fromUtf8(c.line));
    }
}

TEST(StalenessTest, QuotaGoesStaleAfterFourHundredFiftySeconds) {
    const QDateTime now = utc("2026-12-05T12:00:00Z");
    const struct {
        std::optional<QDateTime> lastSuccess;
        bool stale;
    } cases[] = {
        {std::nullopt, true},           {now.addSecs(-449), false}, {now.addSecs(-450), false},
        {now.addMSecs(-450'001), true}, {now.addSecs(-451), true},  {now.addSecs(30), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AppDelegate::isStale(c.lastSuccess, now), c.stale)
            << (c.lastSuccess ? c.lastSuccess->toString(Qt::ISODate).toStdString() : "none");
    }
}

}  // namespace
}  // namespace brimlet

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

// Each row as a line: its text, then "/size role" for a styled row (Primary, Secondary,
// Tertiary) and "<action key check>" for one that can be chosen.
QStringList rows(const MenuItems& items) {
    QStringList lines;
    for (const MenuItem& item : items) {
        QString line = item.separator ? QStringLiteral("---") : item.text;
        if (item.fontSize > 0) {
            line += QStringLiteral(" /%1%2").arg(item.fontSize).arg("-PST"[int(item.colour)]);
        }
        if (item.enabled && !item.separator) {
            line += QStringLiteral(" <%1%2%3>")
                        .arg(int(item.action))
                        .arg(item.keyEquivalent.isNull() ? QString() : QString(item.keyEquivalent))
                        .arg(item.checked ? (*item.checked ? "+" : "-") : "");
        }
        lines.append(line);
    }
    return lines;
}

TEST(StatusMenuTest, ListsBucketsActivityAndActionsInOrder) {
    MenuState state;
    state.buckets = {Bucket("세션 (5시간)", 36.6, utc("2026-12-05T15:00:00Z")),
                     Bucket("주간 전체", 12.5, utc("2026-12-10T03:30:00.5+00:00"))};
    state.lastSuccess = utc("2026-12-05T11:02:03Z");
    state.activity = {40.4, 3};  // both models, rounded, Opus first
    state.launchAtLogin = true;
    state.version = "1.2.0";
    EXPECT_EQ(rows(buildStatusMenu(state, seoul)),
              QStringList({"세션 (5시간)   63% 남음 /12P", "      리셋 12월 6일 (일) 00:00 /11S",
                           "주간 전체   88% 남음 /12P", "      리셋 12월 10일 (목) 12:30 /11S",
                           "---", "작동 중 — Opus 40 tok/s, Fable 3 tok/s /12P",
                           "마지막 갱신 20:02:03 /11S", "---", "지금 새로고침 <1r>",
                           "로그인 시 자동 실행 <2+>", "Brimlet 1.2.0 /11T", "종료 <3q>"}));
}

TEST(StatusMenuTest, QuotaGroupCoversEveryStateOfThePoller) {
    const QString error = QStringLiteral("HTTP 401");
    const struct {
        const char* name;
        QList<Bucket> buckets;
        std::optional<QString> lastError;
        QStringList rows;
    } cases[] = {
        {"loading", {}, std::nullopt, {"불러오는 중… /12P"}},
        {"failed with nothing held", {}, error, {"잔량을 못 읽음 — HTTP 401 /12P"}},
        {"no reset time",
         {Bucket("세션 (5시간)", 100, std::nullopt), Bucket("Opus 주간", -3, std::nullopt)},
         std::nullopt,
         {"세션 (5시간)   0% 남음 /12P", "Opus 주간   100% 남음 /12P"}},
        {"failed while holding buckets",
         {Bucket("세션 (5시간)", 50, utc("2026-01-01T00:00:00Z")),
          Bucket("주간 전체", 37.5, std::nullopt)},
         error,
         {"세션 (5시간)   50% 남음 /12P", "      리셋 1월 1일 (목) 09:00 /11S",
          "주간 전체   62% 남음 /12P", "      갱신 실패 — HTTP 401 /11S"}},
    };
    for (const auto& c : cases) {
        MenuState state;
        state.buckets = c.buckets;
        state.lastError = c.lastError;
        state.version = "?";
        state.activity = {0.5, 0.5};  // a model counts only above half a token a second
        // Without a last success the second separator follows the activity line directly.
        const QString rest =
            "|---|대기 중 /12P|---|지금 새로고침 <1r>|로그인 시 자동 실행 <2->|"
            "Brimlet ? /11T|종료 <3q>";
        EXPECT_EQ(rows(buildStatusMenu(state, seoul)).join(u'|'), c.rows.join(u'|') + rest)
            << c.name;
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

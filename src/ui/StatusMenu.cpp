#include "ui/StatusMenu.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>

#include "base/NumberFormat.h"

namespace brimlet {
namespace {

constexpr double rowSize = 12;
constexpr double detailSize = 11;

MenuItem info(int id, const QString& text, double size, TextRole colour) {
    MenuItem item;
    item.id = id;
    item.text = text;
    item.fontSize = size;
    item.colour = colour;
    item.enabled = false;
    return item;
}

MenuItem separator(int id) {
    MenuItem item;
    item.id = id;
    item.separator = true;
    return item;
}

MenuItem action(int id, const QString& text, MenuAction what, QChar key = {}) {
    MenuItem item;
    item.id = id;
    item.text = text;
    item.action = what;
    item.keyEquivalent = key;
    return item;
}

QString resetText(const QDateTime& at, const QTimeZone& zone) {
    static const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    return korean.toString(at.toTimeZone(zone), QStringLiteral("M월 d일 (ddd) HH:mm"));
}

void addQuotaGroup(MenuItems& items, const MenuState& state, const QTimeZone& zone) {
    if (state.buckets.isEmpty()) {
        items.append(info(menuRowId::quotaStatus,
                          state.lastError ? QStringLiteral("잔량을 못 읽음 — ") + *state.lastError
                                          : QStringLiteral("불러오는 중…"),
                          rowSize, TextRole::Primary));
        return;
    }
    // Lists of buckets hold at most three, so every row has an id of its own.
    for (int index = 0; index < std::min<int>(3, int(state.buckets.size())); ++index) {
        const Bucket& bucket = state.buckets.at(index);
        items.append(info(menuRowId::bucket(index),
                          bucket.label() + QStringLiteral("   ") + printfWhole(bucket.remaining()) +
                              QStringLiteral("% 남음"),
                          rowSize, TextRole::Primary));
        if (bucket.resetsAt()) {
            items.append(info(menuRowId::bucketReset(index),
                              QStringLiteral("      리셋 ") + resetText(*bucket.resetsAt(), zone),
                              detailSize, TextRole::Secondary));
        }
    }
    if (state.lastError) {
        items.append(info(menuRowId::refreshFailed,
                          QStringLiteral("      갱신 실패 — ") + *state.lastError, detailSize,
                          TextRole::Secondary));
    }
}

// "작동 중 — Opus 40 tok/s, Fable 3 tok/s", or "대기 중" when neither rate is above 0.5.
QString activityLine(const Signal& activity) {
    QStringList parts;
    if (isActiveRate(activity.opusRate)) {
        parts.append(QStringLiteral("Opus ") + printfWhole(activity.opusRate) +
                     QStringLiteral(" tok/s"));
    }
    if (isActiveRate(activity.fableRate)) {
        parts.append(QStringLiteral("Fable ") + printfWhole(activity.fableRate) +
                     QStringLiteral(" tok/s"));
    }
    return parts.isEmpty() ? QStringLiteral("대기 중")
                           : QStringLiteral("작동 중 — ") + parts.join(QStringLiteral(", "));
}

}  // namespace

MenuItems buildStatusMenu(const MenuState& state, const QTimeZone& zone) {
    MenuItems items;
    addQuotaGroup(items, state, zone);
    items.append(separator(menuRowId::quotaEnd));
    items.append(
        info(menuRowId::activity, activityLine(state.activity), rowSize, TextRole::Primary));
    if (state.lastSuccess) {
        items.append(info(
            menuRowId::lastRefresh,
            QStringLiteral("마지막 갱신 ") +
                QLocale().toString(state.lastSuccess->toTimeZone(zone), QStringLiteral("HH:mm:ss")),
            detailSize, TextRole::Secondary));
    }
    items.append(separator(menuRowId::actionsStart));
    items.append(
        action(menuRowId::refresh, QStringLiteral("지금 새로고침"), MenuAction::Refresh, u'r'));
    MenuItem login = action(menuRowId::launchAtLogin, QStringLiteral("로그인 시 자동 실행"),
                            MenuAction::ToggleLogin);
    login.checked = state.launchAtLogin;
    items.append(login);
    items.append(info(menuRowId::version, QStringLiteral("Brimlet ") + state.version, detailSize,
                      TextRole::Tertiary));
    items.append(action(menuRowId::quit, QStringLiteral("종료"), MenuAction::Quit, u'q'));
    return items;
}

QString statusSummary(const MenuItems& items) {
    QStringList lines;
    const auto separator = std::find_if(items.begin(), items.end(),
                                        [](const MenuItem& item) { return item.separator; });
    for (auto row = items.begin(); row != separator; ++row) {
        lines.append(row->text);
    }
    if (separator != items.end() && separator + 1 != items.end()) {
        lines.append((separator + 1)->text);
    }
    return lines.join(u'\n');
}

}  // namespace brimlet

#pragma once

#include "ui/StatusMenu.h"

namespace brimlet::test {

// The application's own menu holding every kind of row: styled information rows, separators, two
// actions with key equivalents and a check-mark row. Row i is dbusmenu node i + 1.
inline MenuItems sampleMenu(bool loginChecked = false) {
    MenuState state;
    const QDateTime time = QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc());
    state.buckets = {Bucket(QStringLiteral("세션 (5시간)"), 37, time)};
    state.lastSuccess = time;
    state.launchAtLogin = loginChecked;
    state.version = QStringLiteral("0.1.0");
    return buildStatusMenu(state, QTimeZone::utc());
}

// Indices into sampleMenu().
enum SampleRow {
    sessionRow = 0,
    firstSeparatorRow = 2,
    refreshRow = 6,
    loginRow,
    versionRow,
    quitRow
};

}  // namespace brimlet::test

#pragma once

#include "ui/MenuItem.h"

namespace brimlet::test {

// A menu of the shape the application shows: information rows, separators, two actions with key
// equivalents, a check-mark row and a styled version row. Row i is dbusmenu node i + 1.
inline MenuItems sampleMenu(bool loginChecked = false) {
    MenuItem session{.text = QStringLiteral("세션 (5시간)   63% 남음"),
                     .fontSize = 12,
                     .colour = TextRole::Primary,
                     .enabled = false};
    MenuItem reset{.text = QStringLiteral("      리셋 3월 4일 (수) 14:00"),
                   .fontSize = 11,
                   .colour = TextRole::Secondary,
                   .enabled = false};
    MenuItem activity{.text = QStringLiteral("작동 중 — Opus 20 tok/s"),
                      .fontSize = 12,
                      .colour = TextRole::Primary,
                      .enabled = false};
    MenuItem refresh{.text = QStringLiteral("지금 새로고침"),
                     .action = MenuAction::Refresh,
                     .keyEquivalent = u'r'};
    MenuItem login{.text = QStringLiteral("로그인 시 자동 실행"),
                   .action = MenuAction::ToggleLogin,
                   .checked = loginChecked};
    MenuItem version{.text = QStringLiteral("Brimlet 0.1.0"),
                     .fontSize = 11,
                     .colour = TextRole::Tertiary,
                     .enabled = false};
    MenuItem quit{
        .text = QStringLiteral("종료"), .action = MenuAction::Quit, .keyEquivalent = u'q'};
    const MenuItem separator{.separator = true};
    return {session, reset, separator, activity, separator, refresh, login, version, quit};
}

// Indices into sampleMenu().
enum SampleRow {
    sessionRow = 0,
    resetRow = 1,
    firstSeparatorRow = 2,
    activityRow = 3,
    refreshRow = 5,
    loginRow = 6,
    versionRow = 7,
    quitRow = 8,
};

}  // namespace brimlet::test

#pragma once

#include "ui/MenuItem.h"

namespace brimlet::test {

// A menu of the shape the application shows: styled information rows, separators, two actions
// with key equivalents and a check-mark row. Row i is dbusmenu node i + 1.
inline MenuItems sampleMenu(bool loginChecked = false) {
    const auto info = [](const char* text, double size, TextRole colour) {
        return MenuItem{
            .text = QString::fromUtf8(text), .fontSize = size, .colour = colour, .enabled = false};
    };
    const auto action = [](const char* text, MenuAction what, QChar key) {
        return MenuItem{.text = QString::fromUtf8(text), .action = what, .keyEquivalent = key};
    };
    MenuItem login = action("로그인 시 자동 실행", MenuAction::ToggleLogin, {});
    login.checked = loginChecked;
    const MenuItem separator{.separator = true};
    return {info("세션 (5시간)   63% 남음", 12, TextRole::Primary),
            info("      리셋 3월 4일 (수) 14:00", 11, TextRole::Secondary),
            separator,
            info("작동 중 — Opus 20 tok/s", 12, TextRole::Primary),
            separator,
            action("지금 새로고침", MenuAction::Refresh, u'r'),
            login,
            info("Brimlet 0.1.0", 11, TextRole::Tertiary),
            action("종료", MenuAction::Quit, u'q')};
}

// Indices into sampleMenu().
enum SampleRow {
    sessionRow = 0,
    resetRow = 1,
    firstSeparatorRow = 2,
    refreshRow = 5,
    loginRow = 6,
    versionRow = 7,
    quitRow = 8,
};

}  // namespace brimlet::test

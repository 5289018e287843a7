#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <optional>

#include "activity/Signal.h"
#include "quota/Bucket.h"
#include "ui/MenuItem.h"

namespace brimlet {

// Everything the menu shows, read at the moment it opens.
struct MenuState {
    QList<Bucket> buckets;
    std::optional<QString> lastError;
    std::optional<QDateTime> lastSuccess;
    Signal activity;
    bool launchAtLogin = false;
    QString version;
};

// The menu's rows, top to bottom: the quota group, the activity line and last refresh, then the
// actions. Times are shown in `zone`.
[[nodiscard]] MenuItems buildStatusMenu(const MenuState& state, const QTimeZone& zone);

// The rows a tray tool tip repeats, one a line: the quota group and the activity line of `items`
// as buildStatusMenu() lays them out (everything before the first separator, and the row after it).
[[nodiscard]] QString statusSummary(const MenuItems& items);

}  // namespace brimlet

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

// The ids of the menu's logical rows (MenuItem::id). A quota bucket's row and its reset line come
// in pairs, by the bucket's place.
namespace menuRowId {
inline constexpr int quotaStatus = 1;  // "불러오는 중…" or the failure, while there are no buckets
[[nodiscard]] constexpr int bucket(int index) {
    return 2 + 2 * index;
}
[[nodiscard]] constexpr int bucketReset(int index) {
    return 3 + 2 * index;
}
inline constexpr int refreshFailed = 8;
inline constexpr int quotaEnd = 9;  // separator
inline constexpr int activity = 10;
inline constexpr int lastRefresh = 11;
inline constexpr int actionsStart = 12;  // separator
inline constexpr int refresh = 13;
inline constexpr int launchAtLogin = 14;
inline constexpr int version = 15;
inline constexpr int quit = 16;
inline constexpr int last = quit;  // ids run from 1 to this, top to bottom
}  // namespace menuRowId

[[nodiscard]] constexpr bool isMenuRowId(int id) {
    return id >= 1 && id <= menuRowId::last;
}

// The menu's rows, top to bottom: the quota group, the activity line and last refresh, then the
// actions. Times are shown in `zone`.
[[nodiscard]] MenuItems buildStatusMenu(const MenuState& state, const QTimeZone& zone);

// The rows a tray tool tip repeats, one a line: the quota group and the activity line of `items`
// as buildStatusMenu() lays them out (everything before the first separator, and the row after it).
[[nodiscard]] QString statusSummary(const MenuItems& items);

}  // namespace brimlet

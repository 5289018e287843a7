#include "ui/sni/DBusMenu.h"

#include <algorithm>

namespace brimlet {

namespace {
constexpr int rootId = 0;
// While a host shows the menu it follows the rows; while nobody looks, changed texts are told now
// and then (GNOME Shell rebuilds its copy at each announcement: told every 10 s while the dots
// pulse, that cost it about as much again as the pulse itself), rows that came or went at once,
// and a host that opens the menu asks first (AboutToShow) and is told at once.
constexpr qint64 announceOpenEveryMs = 1000;
constexpr qint64 announceClosedEveryMs = 60'000;
}  // namespace

DBusMenu::DBusMenu(Source source, Sink sink, QObject* parent)
    : QObject(parent), source_(std::move(source)), sink_(std::move(sink)) {
    announceLater_.setSingleShot(true);
    connect(&announceLater_, &QTimer::timeout, this, &DBusMenu::announce);
}

void DBusMenu::refresh() {
    (void)take(source_());
}

bool DBusMenu::aboutToShow(int id) {
    if (id != rootId) {
        return false;
    }
    (void)take(source_());
    announceSoon();
    return isUnannounced();
}

QList<int> DBusMenu::aboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    // One rebuild for the call however often the root is named: every rebuild reads the menu's
    // sources again, and any client on the bus may send a long list.
    bool rootAsked = false;
    for (const auto id : ids) {
        if (!knows(id)) {
            idErrors.append(id);
        } else if (id == rootId) {
            rootAsked = true;
        }
    }
    if (!rootAsked) {
        return {};
    }
    (void)take(source_());
    announceSoon();
    return isUnannounced() ? QList<int>{rootId} : QList<int>{};
}

namespace {
std::optional<bool> openingOrClosing(int id, const QString& eventId) {
    if (id != rootId) {
        return std::nullopt;
    }
    if (eventId == QLatin1String("opened")) {
        return true;
    }
    if (eventId == QLatin1String("closed")) {
        return false;
    }
    return std::nullopt;
}
}  // namespace

void DBusMenu::handleEvent(int id, const QString& eventId) {
    if (const auto open = openingOrClosing(id, eventId)) {
        setOpen(*open);
        return;
    }
    if (eventId != QLatin1String("clicked")) {
        return;
    }
    const auto row = menuRow(items(), id);
    if (!row || !items_.at(*row).choosable()) {
        return;
    }
    const auto action = items_.at(*row).action;
    QMetaObject::invokeMethod(
        this, [this, action] { sink_(action); }, Qt::QueuedConnection);
}

// However many openings and closings a group holds, only the last counts: the work they cause
// is done once.
QList<int> DBusMenu::eventGroup(const DBusMenuEventList& events) {
    QList<int> idErrors;
    std::optional<bool> open;
    for (const auto& event : events) {
        if (!knows(event.id)) {
            idErrors.append(event.id);
        } else if (const auto opening = openingOrClosing(event.id, event.eventId)) {
            open = opening;
        } else {
            handleEvent(event.id, event.eventId);
        }
    }
    if (open) {
        setOpen(*open);
    }
    return idErrors;
}

void DBusMenu::setOpen(bool open) {
    if (open == open_) {
        return;
    }
    open_ = open;
    Q_EMIT shown(open_);
    scheduleAnnouncement();
}

std::optional<DBusMenuLayoutItem> DBusMenu::layout(int parentId, int recursionDepth,
                                                   const PropertyNames& names) {
    return menuLayout(items(), parentId, recursionDepth, names);
}

DBusMenuItemList DBusMenu::groupProperties(const QList<int>& ids, const PropertyNames& names) {
    return menuGroupProperties(items(), ids, names);
}

std::optional<QVariant> DBusMenu::property(int id, const QString& name) {
    const auto properties = menuNodeProperties(items(), id, {name});
    if (!properties || !properties->contains(name)) {
        return std::nullopt;
    }
    return properties->value(name);
}

// The first records always count as a change: revision 0 is the menu before any build.
bool DBusMenu::take(MenuItems items) {
    if (revision_ != 0 && items == items_) {
        return false;
    }
    items_ = std::move(items);
    if (++revision_ == 1) {
        announced_ = items_;  // whoever reads the menu sees it from here on
        announcedRevision_ = revision_;
    }
    Q_EMIT itemsChanged();
    scheduleAnnouncement();
    return true;
}

bool DBusMenu::isUnannounced() const {
    return revision_ != announcedRevision_;
}

// Rows that came or went change the menu's size: a host that places the menu for the size it
// knows and is told of the change only once it shows it (XFCE's) would show it cut off.
void DBusMenu::scheduleAnnouncement() {
    const bool sameRows =
        std::equal(items_.begin(), items_.end(), announced_.begin(), announced_.end(),
                   [](const MenuItem& now, const MenuItem& told) { return now.id == told.id; });
    schedule(open_ || !sameRows ? announceOpenEveryMs : announceClosedEveryMs);
}

// A host about to show the menu: XFCE's and waybar's ignore the answer to AboutToShow and say
// nothing else of an opening, so only an announcement updates what they show.
void DBusMenu::announceSoon() {
    schedule(announceOpenEveryMs);
}

// The announcement waits for its pace to allow it; an opening may bring a waiting one forward.
void DBusMenu::schedule(qint64 every) {
    if (!isUnannounced()) {
        return;
    }
    const qint64 wait =
        lastAnnounced_.isValid() ? std::max<qint64>(0, every - lastAnnounced_.elapsed()) : 0;
    if (!announceLater_.isActive() || announceLater_.remainingTime() > wait) {
        announceLater_.start(static_cast<int>(wait));
    }
}

void DBusMenu::announce() {
    lastAnnounced_.start();
    announcedRevision_ = revision_;
    const auto changes = menuPropertyChanges(announced_, items_);
    announced_ = items_;
    if (!changes.updated.isEmpty() || !changes.removed.isEmpty()) {
        Q_EMIT itemsPropertiesUpdated(changes.updated, changes.removed);
    }
    Q_EMIT layoutUpdated(revision_, rootId);
}

const MenuItems& DBusMenu::items() {
    if (revision_ == 0) {
        (void)take(source_());
    }
    return items_;
}

bool DBusMenu::knows(int id) {
    return id == rootId || isMenuRowId(id);
}

}  // namespace brimlet

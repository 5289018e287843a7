#include "ui/sni/StatusNotifierItem.h"

#include <QCursor>

#include "ui/RecordsMenu.h"
#include "ui/StatusMenu.h"
#include "ui/sni/DBusMenu.h"
#include "ui/sni/DBusMenuAdaptor.h"
#include "ui/sni/IconPixmaps.h"
#include "ui/sni/StatusNotifierItemAdaptor.h"
#include "ui/sni/WatcherRegistration.h"

namespace brimlet {

namespace {

constexpr auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                          QDBusConnection::ExportAllProperties;

}  // namespace

StatusNotifierItem::StatusNotifierItem(double length, const QDBusConnection& connection)
    : length_(length),
      connection_(connection),
      summaryPace_(title()),
      menu_(new DBusMenu([this] { return currentMenu(); },
                         [this](MenuAction action) { runAction(action); }, this)) {
    clock_.start();
    settleLater_.setSingleShot(true);
    connect(&settleLater_, &QTimer::timeout, this, &StatusNotifierItem::settleSummary);
    connect(menu_, &DBusMenu::itemsChanged, this, &StatusNotifierItem::updateSummary);
    connect(menu_, &DBusMenu::shown, this, &StatusNotifierItem::menuShown);
    if (connection_.isConnected()) {
        exportOnBus();
    }
}

StatusNotifierItem::~StatusNotifierItem() {
    if (registration_ != nullptr) {  // exported
        connection_.unregisterObject(itemPath());
        connection_.unregisterObject(menuPath().path());
    }
}

// The adaptors are owned by the objects they serve. Paths taken by someone else leave the item
// unshown rather than half there. The watcher learns our unique bus name; it then finds the item
// at the path the protocol names for that case, /StatusNotifierItem.
void StatusNotifierItem::exportOnBus() {
    registerDBusTypes();
    if (!connection_.registerObject(itemPath(), new StatusNotifierItemAdaptor(*this), exported)) {
        return;
    }
    if (!connection_.registerObject(menuPath().path(), new DBusMenuAdaptor(*menu_), exported)) {
        connection_.unregisterObject(itemPath());
        return;
    }
    registration_ = new WatcherRegistration(connection_, connection_.baseService(), this);
    connect(registration_, &WatcherRegistration::changed, this,
            &StatusNotifierItem::presenceChanged);
}

// Called at every animation step while a dot pulses: nothing is drawn here. The bitmaps are made
// when a host reads them after NewIcon, and only a host that holds our registration is told.
void StatusNotifierItem::setGauge(const GaugeFace& face) {
    if (face == face_) {
        return;
    }
    face_ = face;
    iconPixmaps_.reset();
    if (isRegistered()) {
        Q_EMIT iconChanged();
    }
}

void StatusNotifierItem::menuMayHaveChanged() {
    menu_->refresh();
}

Placement StatusNotifierItem::placement() const {
    // A StatusNotifierItem never learns where the host draws it.
    return {length_, isRegistered(), {}, {}};
}

bool StatusNotifierItem::isRegistered() const {
    return registration_ != nullptr && registration_->isRegistered();
}

bool StatusNotifierItem::isWatcherPresent() const {
    return registration_ != nullptr && registration_->isWatcherPresent();
}

bool StatusNotifierItem::isConnectionLost() const {
    return registration_ != nullptr && registration_->isConnectionLost();
}

const IconPixmapList& StatusNotifierItem::iconPixmaps() const {
    if (!iconPixmaps_) {
        iconPixmaps_ = face_ ? squareIconPixmaps(*face_) : IconPixmapList{};
    }
    return *iconPixmaps_;
}

QString StatusNotifierItem::summary() const {
    return summaryPace_.text();
}

void StatusNotifierItem::popUpMenu(QPoint position) {
    if (!popup_) {
        popup_ = std::make_unique<RecordsMenu>([this] { return currentMenu(); },
                                               [this](MenuAction action) { runAction(action); },
                                               RecordsMenu::Look::Plain);
        // On Wayland a menu without a parent window cannot be placed by us: it becomes a small
        // window of its own that the compositor places, and this is its title.
        popup_->setWindowTitle(title());
        connect(popup_.get(), &QMenu::aboutToShow, this, [this] { menuShown(true); });
        connect(popup_.get(), &QMenu::aboutToHide, this, [this] { menuShown(false); });
    }
    popup_->popup(position.isNull() ? QCursor::pos() : position);
}

void StatusNotifierItem::updateSummary() {
    auto summary = statusSummary(menu_->items());
    summaryPace_.offer(summary.isEmpty() ? title() : summary);
    settleSummary();
}

void StatusNotifierItem::menuShown(bool shown) {
    if (shown) {
        summaryPace_.menuOpened(clock_.elapsed());
    } else {
        summaryPace_.menuClosed();
    }
    settleSummary();
}

void StatusNotifierItem::settleSummary() {
    const auto step = summaryPace_.settle(clock_.elapsed());
    if (step.retryAfterMs) {
        settleLater_.start(static_cast<int>(*step.retryAfterMs));
    }
    if (step.tell) {
        Q_EMIT summaryChanged();
    }
}

}  // namespace brimlet

#include "ui/sni/StatusNotifierItem.h"

#include "ui/sni/DBusMenu.h"
#include "ui/sni/DBusMenuAdaptor.h"
#include "ui/sni/IconPixmaps.h"
#include "ui/sni/StatusNotifierItemAdaptor.h"
#include "ui/sni/WatcherRegistration.h"

namespace brimlet {

namespace {

// Hosts draw the item in a bar about 22 points high.
constexpr double iconHeight = 22;

constexpr auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                          QDBusConnection::ExportAllProperties;

}  // namespace

StatusNotifierItem::StatusNotifierItem(double length, const QDBusConnection& connection)
    : length_(length),
      connection_(connection),
      menu_(new DBusMenu([this] { return currentMenu(); },
                         [this](MenuAction action) { runAction(action); }, this)) {
    if (connection_.isConnected()) {
        exportOnBus();
    }
}

StatusNotifierItem::~StatusNotifierItem() {
    if (exported_) {
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
    exported_ = true;
    registration_ = new WatcherRegistration(connection_, connection_.baseService(), this);
}

void StatusNotifierItem::setImage(const QImage& image) {
    if (image == image_) {
        return;
    }
    image_ = image;
    iconPixmaps_ = brimlet::iconPixmaps(image_, QSize(qRound(length_), qRound(iconHeight)));
    Q_EMIT iconChanged();
}

Placement StatusNotifierItem::placement() const {
    // A StatusNotifierItem never learns where the host draws it.
    return {length_, registration_ != nullptr && registration_->isRegistered(), {}, {}};
}

}  // namespace brimlet

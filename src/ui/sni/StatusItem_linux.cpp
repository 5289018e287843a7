#include "ui/StatusItem.h"
#include "ui/sni/StatusNotifierItem.h"

namespace brimlet {

// Linux desktops show StatusNotifierItems on the session bus. Qt's own tray icon speaks that
// protocol too, but never appears when the tray host starts after the program (the usual case at
// login) and squares the icon, hence our own item.
std::unique_ptr<StatusItem> createStatusItem(double length) {
    return std::make_unique<StatusNotifierItem>(length, QDBusConnection::sessionBus());
}

}  // namespace brimlet

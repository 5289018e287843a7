#include <QGuiApplication>

#include "ui/StatusItem.h"
#include "ui/sni/LinuxStatusItem.h"

namespace brimlet {

// Linux desktops show StatusNotifierItems on the session bus. Qt's own tray icon speaks that
// protocol too, but never appears when the tray host starts after the program (the usual case at
// login) and squares the icon, hence our own item; Qt's icon stands in only for XEmbed trays.
std::unique_ptr<StatusItem> createStatusItem(double length) {
    return std::make_unique<LinuxStatusItem>(
        length, QDBusConnection::sessionBus(),
        QGuiApplication::platformName() == QLatin1String("xcb"));
}

}  // namespace brimlet

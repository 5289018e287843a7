#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>

#include "ui/StatusItem.h"
#include "ui/sni/DBusTypes.h"

namespace brimlet {

class DBusMenu;
class WatcherRegistration;

// The status item of Linux desktops: our own StatusNotifierItem with a com.canonical.dbusmenu
// menu, exported on one bus connection and registered with the desktop's watcher. A click opens
// the menu (ItemIsMenu), as on macOS. Without a working connection the item keeps its state but is
// never shown, and says nothing about it.
class StatusNotifierItem final : public QObject, public StatusItem {
    Q_OBJECT

  public:
    // Only one item per connection: the object paths are fixed.
    StatusNotifierItem(double length, const QDBusConnection& connection);
    ~StatusNotifierItem() override;

    void setImage(const QImage& image) override;
    [[nodiscard]] Placement placement() const override;

    [[nodiscard]] static QString id() { return QStringLiteral("com.zorvan.brimlet"); }
    [[nodiscard]] static QString title() { return QStringLiteral("Brimlet"); }
    [[nodiscard]] static QString category() { return QStringLiteral("ApplicationStatus"); }
    [[nodiscard]] static QString status() { return QStringLiteral("Active"); }
    [[nodiscard]] static QString itemPath() { return QStringLiteral("/StatusNotifierItem"); }
    [[nodiscard]] static QDBusObjectPath menuPath() {
        return QDBusObjectPath(QStringLiteral("/MenuBar"));
    }
    // The gauge's bitmaps, made once per new image.
    [[nodiscard]] const IconPixmapList& iconPixmaps() const { return iconPixmaps_; }

  Q_SIGNALS:
    void iconChanged();

  private:
    void exportOnBus();

    double length_;
    QDBusConnection connection_;
    QImage image_;
    IconPixmapList iconPixmaps_;
    DBusMenu* menu_;  // child
    bool exported_ = false;
    WatcherRegistration* registration_ = nullptr;  // child, made once the item is exported
};

}  // namespace brimlet

#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QTimer>
#include <memory>
#include <optional>

#include "base/AppIdentifier.h"
#include "ui/StatusItem.h"
#include "ui/sni/DBusTypes.h"
#include "ui/sni/ToolTipPace.h"

namespace brimlet {

class DBusMenu;
class RecordsMenu;
class WatcherRegistration;

// The StatusNotifierItem face of the Linux status item: our own item with a com.canonical.dbusmenu
// menu, exported on one bus connection and registered with the desktop's watcher. A click opens
// the menu (ItemIsMenu); hosts that send Activate anyway get the same records popped up as a Qt
// menu where they were clicked. Without a working connection the item keeps its state but is
// never shown, and says nothing about it.
class StatusNotifierItem final : public QObject, public StatusItem {
    Q_OBJECT

  public:
    // Only one item per connection: the object paths are fixed.
    StatusNotifierItem(double length, const QDBusConnection& connection);
    ~StatusNotifierItem() override;

    void setGauge(const GaugeFace& face) override;
    void menuMayHaveChanged() override;
    [[nodiscard]] Placement placement() const override;

    // Whether a watcher holds our registration: only then can a host show the item.
    [[nodiscard]] bool isRegistered() const;
    // Whether org.kde.StatusNotifierWatcher has an owner on the bus.
    [[nodiscard]] bool isWatcherPresent() const;
    // Whether the bus connection the item was exported on dropped, for good.
    [[nodiscard]] bool isConnectionLost() const;

    [[nodiscard]] static QString id() { return appIdentifier; }
    [[nodiscard]] static QString title() { return QStringLiteral("Brimlet"); }
    [[nodiscard]] static QString category() { return QStringLiteral("ApplicationStatus"); }
    [[nodiscard]] static QString status() { return QStringLiteral("Active"); }
    [[nodiscard]] static QString itemPath() { return QStringLiteral("/StatusNotifierItem"); }
    [[nodiscard]] static QDBusObjectPath menuPath() {
        return QDBusObjectPath(QStringLiteral("/MenuBar"));
    }
    // The gauge's bitmaps, serialised once per changed face, when a host first asks.
    [[nodiscard]] const IconPixmapList& iconPixmaps() const;
    // The quota and activity rows of the menu, one a line, or the title before there are any, as
    // hosts were last told of them (at most every 10 s, never while the menu is open).
    [[nodiscard]] QString summary() const;
    // Pops the menu records up as a Qt menu at `position` (global; the pointer where the host
    // gives none).
    void popUpMenu(QPoint position);

  Q_SIGNALS:
    void iconChanged();
    void summaryChanged();
    // The watcher came or went, or took or lost our registration, or the connection dropped.
    void presenceChanged();

  private:
    void exportOnBus();
    void updateSummary();
    void menuShown(bool shown);
    void settleSummary();

    double length_;
    QDBusConnection connection_;
    std::optional<GaugeFace> face_;
    mutable std::optional<IconPixmapList> iconPixmaps_;  // none until asked after a change
    ToolTipPace summaryPace_;
    QElapsedTimer clock_;
    QTimer settleLater_;
    DBusMenu* menu_;  // child
    std::unique_ptr<RecordsMenu> popup_;
    WatcherRegistration* registration_ = nullptr;  // child, made once the item is exported
};

}  // namespace brimlet

#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

namespace brimlet {

// Keeps one StatusNotifierItem registered with the desktop's org.kde.StatusNotifierWatcher: it
// asks at once and again each time the watcher's name gets a new owner (a panel restart, or a
// tray host started after us, the usual case at login). No watcher is not an error: the item
// waits quietly for one. Calls are asynchronous, so a hung watcher never stalls the program. A
// connection that drops is lost for good (QtDBus does not connect again), and is told as a change.
class WatcherRegistration : public QObject {
    Q_OBJECT

  public:
    WatcherRegistration(const QDBusConnection& connection, QString itemService,
                        QObject* parent = nullptr);

    // Whether the present watcher accepted the item.
    [[nodiscard]] bool isRegistered() const { return registered_; }
    // Whether the watcher's name has an owner.
    [[nodiscard]] bool isWatcherPresent() const { return watcherPresent_; }
    // Whether the connection to the bus dropped: it never comes back, nor does any watcher on it.
    [[nodiscard]] bool isConnectionLost() const { return connectionLost_; }

  Q_SIGNALS:
    // The watcher came or went, or answered our registration.
    void changed();

  private Q_SLOTS:
    void loseConnection();

  private:
    void registerItem();
    void watcherOwnerChanged(const QString& service, const QString& oldOwner,
                             const QString& newOwner);

    QDBusConnection connection_;
    QString itemService_;
    QDBusServiceWatcher watcher_;
    bool watcherPresent_ = false;
    bool registered_ = false;
    bool connectionLost_ = false;
    // Only the answer to the latest request counts: a watcher that restarts quickly may answer an
    // older request after the newer one.
    quint64 latestRequest_ = 0;
};

}  // namespace brimlet

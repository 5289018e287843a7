#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDateTime>
#include <QObject>
#include <QStringList>

namespace brimlet::test {

// One RegisterStatusNotifierItem call as the watcher received it.
struct Registration {
    QString service;  // the argument: a bus name, or an object path of the caller
    QString sender;   // the caller's unique bus name
    QDateTime at;
};

// Plays the desktop's org.kde.StatusNotifierWatcher on a bus connection: records every item
// registration and keeps the list a tray host would read. Stopping gives the name up and forgets
// the items, as a panel that restarts does; start() takes the name again.
class FakeStatusWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

  public:
    explicit FakeStatusWatcher(const QDBusConnection& connection);
    ~FakeStatusWatcher() override;

    // Owns the watcher's name and object; false when the bus refused.
    bool start();
    void stop();

    // Every registration since construction, across stops and starts.
    [[nodiscard]] const QList<Registration>& registrations() const { return registrations_; }
    // The items of the present run, as "service/path".
    [[nodiscard]] QStringList registeredItems() const { return items_; }
    [[nodiscard]] static bool isHostRegistered() { return true; }
    [[nodiscard]] static int protocolVersion() { return 0; }

  public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

  Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierHostRegistered();

  private:
    QDBusConnection connection_;
    bool running_ = false;
    QList<Registration> registrations_;
    QStringList items_;
};

}  // namespace brimlet::test

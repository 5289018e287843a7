#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

namespace brimlet::test {

// One RegisterStatusNotifierItem call as the watcher received it.
struct Registration {
    QString service;  // the argument: a bus name, or an object path of the caller
    QString sender;   // the caller's unique bus name
};

// Plays the desktop's org.kde.StatusNotifierWatcher on a bus connection and records every item
// registration. Stopping gives the name up, as a panel that restarts does; start() takes it again.
class FakeStatusWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

  public:
    explicit FakeStatusWatcher(const QDBusConnection& connection) : connection_(connection) {}
    ~FakeStatusWatcher() override { stop(); }

    // Owns the watcher's name and object; false when the bus refused.
    bool start();
    void stop();

    // Every registration since construction, across stops and starts.
    [[nodiscard]] const QList<Registration>& registrations() const { return registrations_; }

  public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);

  private:
    QDBusConnection connection_;
    QList<Registration> registrations_;
};

}  // namespace brimlet::test

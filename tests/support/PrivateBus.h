#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace brimlet::test {

// A D-Bus session bus of one test's own: a dbus-daemon started with a minimal session
// configuration (no activatable services, so nothing installed on the machine can answer for a
// name), stopped on destruction. Pass address() as DBUS_SESSION_BUS_ADDRESS to a child process.
class PrivateBus {
  public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon could not be started.
    [[nodiscard]] QString address() const { return address_; }

    // Ends the daemon now: every connection to the bus drops.
    void stop();

    // A new connection of this process to the bus, named `name` within the process; closed when
    // the bus goes.
    [[nodiscard]] QDBusConnection connect(const QString& name);

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList connectionNames_;
};

}  // namespace brimlet::test

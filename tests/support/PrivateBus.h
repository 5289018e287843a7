#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace brimlet::test {

// A D-Bus session bus of one test's own: a dbus-daemon started with a minimal session
// configuration (no activatable services, so nothing installed on the machine can answer for a
// name), stopped on destruction. Pass address() as DBUS_SESSION_BUS_ADDRESS to a child process.
class PrivateBus {
  public:
    PrivateBus() {
        const QByteArray configuration =
            "<busconfig><type>session</type><listen>unix:dir=" + dir_.path().toUtf8() +
            "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
            "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
            "<allow own=\"*\"/></policy></busconfig>";
        const auto configPath = dir_.filePath(QStringLiteral("bus.conf"));
        QFile config(configPath);
        if (!dir_.isValid() || !config.open(QIODevice::WriteOnly) ||
            config.write(configuration) != configuration.size() || !config.flush()) {
            return;
        }
        daemon_.setStandardErrorFile(QProcess::nullDevice());
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
        // The daemon prints its address once it listens.
        while (daemon_.waitForReadyRead(5000) && !daemon_.canReadLine()) {
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const auto& name : std::as_const(connectionNames_)) {
            QDBusConnection::disconnectFromBus(name);
        }
        stop();
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon could not be started.
    [[nodiscard]] QString address() const { return address_; }

    // Ends the daemon now: every connection to the bus drops.
    void stop() {
        daemon_.kill();
        daemon_.waitForFinished();
    }

    // A new connection of this process to the bus, named `name` within the process; closed when
    // the bus goes.
    [[nodiscard]] QDBusConnection connect(const QString& name) {
        connectionNames_.append(name);
        return QDBusConnection::connectToBus(address_, name);
    }

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList connectionNames_;
};

}  // namespace brimlet::test

#include "support/PrivateBus.h"

#include <QFile>

namespace brimlet::test {

PrivateBus::PrivateBus() {
    const QByteArray configuration =
        R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=)" +
        dir_.path().toUtf8() + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
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

PrivateBus::~PrivateBus() {
    for (const auto& name : std::as_const(connectionNames_)) {
        QDBusConnection::disconnectFromBus(name);
    }
    stop();
}

void PrivateBus::stop() {
    daemon_.kill();
    daemon_.waitForFinished();
}

QDBusConnection PrivateBus::connect(const QString& name) {
    connectionNames_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

}  // namespace brimlet::test

#include "ui/sni/WatcherRegistration.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace brimlet {

namespace {
const auto watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
}

WatcherRegistration::WatcherRegistration(const QDBusConnection& connection, QString itemService,
                                         QObject* parent)
    : QObject(parent),
      connection_(connection),
      itemService_(std::move(itemService)),
      watcher_(watcherService, connection, QDBusServiceWatcher::WatchForOwnerChange) {
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &WatcherRegistration::watcherOwnerChanged);
    // The library's own signal on a dropped connection; QtDBus takes only a slot's name here.
    connection_.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                        QStringLiteral("org.freedesktop.DBus.Local"),
                        QStringLiteral("Disconnected"), this, SLOT(loseConnection()));
    // Asked once, synchronously: whoever shows a stand-in while there is no watcher must know
    // before showing it. The bus daemon itself answers, so this never waits on a hung peer.
    const auto* const bus = connection_.interface();
    watcherPresent_ = bus != nullptr && bus->isServiceRegistered(watcherService).value();
    registerItem();
}

void WatcherRegistration::registerItem() {
    auto call = QDBusMessage::createMethodCall(
        watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService,
        QStringLiteral("RegisterStatusNotifierItem"));
    call << itemService_;
    const auto request = ++latestRequest_;
    auto* const reply = new QDBusPendingCallWatcher(connection_.asyncCall(call), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this, request](auto* finished) {
        if (request == latestRequest_ && registered_ == finished->isError()) {
            registered_ = !finished->isError();
            Q_EMIT changed();
        }
        finished->deleteLater();
    });
}

void WatcherRegistration::watcherOwnerChanged(const QString& /*service*/,
                                              const QString& /*oldOwner*/,
                                              const QString& newOwner) {
    watcherPresent_ = !newOwner.isEmpty();
    if (!watcherPresent_) {
        ++latestRequest_;  // an answer still under way is about the watcher that left
        registered_ = false;
    } else {
        registerItem();
    }
    Q_EMIT changed();
}

void WatcherRegistration::loseConnection() {
    ++latestRequest_;  // an answer still under way can no longer come
    connectionLost_ = true;
    watcherPresent_ = false;
    registered_ = false;
    Q_EMIT changed();
}

}  // namespace brimlet

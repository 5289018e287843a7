#include "support/FakeStatusWatcher.h"

#include <QDBusMessage>

namespace brimlet::test {

namespace {
const auto watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
const auto watcherPath = QStringLiteral("/StatusNotifierWatcher");
}  // namespace

FakeStatusWatcher::FakeStatusWatcher(const QDBusConnection& connection) : connection_(connection) {}

FakeStatusWatcher::~FakeStatusWatcher() {
    stop();
}

bool FakeStatusWatcher::start() {
    if (running_) {
        return true;
    }
    running_ = connection_.registerObject(watcherPath, this, QDBusConnection::ExportAllContents);
    if (running_ && !connection_.registerService(watcherName)) {
        connection_.unregisterObject(watcherPath);
        running_ = false;
    }
    return running_;
}

void FakeStatusWatcher::stop() {
    if (!running_) {
        return;
    }
    connection_.unregisterService(watcherName);
    connection_.unregisterObject(watcherPath);
    items_.clear();
    running_ = false;
}

// As the desktop watchers do: a bus name means the item sits at /StatusNotifierItem there; an
// object path means the item sits at that path of the caller.
void FakeStatusWatcher::RegisterStatusNotifierItem(const QString& service) {
    const auto sender = message().service();
    registrations_.append({service, sender, QDateTime::currentDateTimeUtc()});
    const QString item = service.startsWith(u'/') ? sender + service
                                                  : service + QStringLiteral("/StatusNotifierItem");
    if (!items_.contains(item)) {
        items_.append(item);
    }
    Q_EMIT StatusNotifierItemRegistered(item);
}

void FakeStatusWatcher::RegisterStatusNotifierHost(const QString& /*service*/) {
    Q_EMIT StatusNotifierHostRegistered();
}

}  // namespace brimlet::test

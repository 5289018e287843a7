#include "support/FakeStatusWatcher.h"

#include <QDBusMessage>

namespace brimlet::test {

namespace {
const auto watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
const auto watcherPath = QStringLiteral("/StatusNotifierWatcher");
}  // namespace

bool FakeStatusWatcher::start() {
    return connection_.registerObject(watcherPath, this, QDBusConnection::ExportAllContents) &&
           connection_.registerService(watcherName);
}

void FakeStatusWatcher::stop() {
    connection_.unregisterService(watcherName);
    connection_.unregisterObject(watcherPath);
}

void FakeStatusWatcher::RegisterStatusNotifierItem(const QString& service) {
    registrations_.append({service, message().service()});
}

}  // namespace brimlet::test

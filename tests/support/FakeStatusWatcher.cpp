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
    if (running_) {
        connection_.unregisterService(watcherName);
        connection_.unregisterObject(watcherPath);
        running_ = false;
    }
}

void FakeStatusWatcher::RegisterStatusNotifierItem(const QString& service) {
    registrations_.append({service, message().service()});
}

}  // namespace brimlet::test

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QStandardPaths>

#include "app/SessionClaim.h"
#include "base/AppIdentifier.h"

namespace brimlet {

// The lock file first, always: a copy started without the session bus would not see the name.
// The bus releases the name when the process goes, however it goes, and `busctl --user list`
// shows who holds it.
std::optional<SessionClaim> SessionClaim::take() {
    std::optional<SessionClaim> claim =
        takeLockIn(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!claim || !bus.isConnected() || bus.interface() == nullptr) {
        return claim;
    }
    const auto reply =
        bus.interface()->registerService(appIdentifier, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceNotRegistered) {
        return std::nullopt;
    }
    return claim;  // the name is ours, or the bus would not say: run
}

}  // namespace brimlet

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QStandardPaths>

#include "app/SessionClaim.h"
#include "base/AppIdentifier.h"

namespace brimlet {

// The bus releases the name when the process goes, however it goes, and `busctl --user list`
// shows who holds it. Without a bus (a bare X session, a console) the runtime folder decides.
std::optional<SessionClaim> SessionClaim::take() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return takeLockIn(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    }
    const auto reply =
        bus.interface()->registerService(appIdentifier, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceNotRegistered) {
        return std::nullopt;
    }
    return SessionClaim();  // the name is ours, or the bus would not say: run
}

}  // namespace brimlet

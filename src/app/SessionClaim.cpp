#include "app/SessionClaim.h"

#include <QDir>

#include "base/AppIdentifier.h"

namespace brimlet {

std::optional<SessionClaim> SessionClaim::takeLockIn(const QString& folder) {
    SessionClaim claim;
    if (!QDir().mkpath(folder)) {
        return claim;  // nowhere to keep a lock: run without one
    }
    claim.lock_ =
        std::make_unique<QLockFile>(folder + u'/' + appIdentifier + QStringLiteral(".lock"));
    // Only a dead owner makes a lock stale (QLockFile checks its process id), never its age: a
    // Brimlet may run for weeks.
    claim.lock_->setStaleLockTime(0);
    if (claim.lock_->tryLock()) {
        return claim;
    }
    if (claim.lock_->error() == QLockFile::LockFailedError) {
        return std::nullopt;
    }
    claim.lock_.reset();  // the folder cannot hold a lock: run without one
    return claim;
}

}  // namespace brimlet

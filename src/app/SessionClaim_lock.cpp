#include <QStandardPaths>

#include "app/SessionClaim.h"

namespace brimlet {

// No session bus here: a lock file in the user's runtime folder.
std::optional<SessionClaim> SessionClaim::take() {
    return takeLockIn(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
}

}  // namespace brimlet

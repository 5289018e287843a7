#pragma once

#include <QLockFile>
#include <QString>
#include <memory>
#include <optional>

namespace brimlet {

// Keeps a desktop session to one menu-bar Brimlet: a second copy would show a second gauge in the
// tray and poll the usage service twice as often. Held for the life of the process; the claim
// ends with it, also when it crashes.
class SessionClaim {
  public:
    // Claims the session, or nothing when another copy holds it: by a lock file in the user's
    // runtime folder, and where the platform has a session bus and it can be reached, also by
    // owning Brimlet's well-known name there. When neither can be had at all, the claim is granted
    // rather than refusing to run. Needs the application object.
    [[nodiscard]] static std::optional<SessionClaim> take();

    // The lock-file claim alone, in `folder`.
    [[nodiscard]] static std::optional<SessionClaim> takeLockIn(const QString& folder);

  private:
    SessionClaim() = default;

    std::unique_ptr<QLockFile> lock_;  // only for a claim by lock file
};

}  // namespace brimlet

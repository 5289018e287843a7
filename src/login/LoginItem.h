#pragma once

#include <QString>
#include <optional>

namespace brimlet {

// Launch at login. Holds no state: every call asks the system (or the agent file) afresh, through
// the mechanism that suits the running system.
class LoginItem {
  public:
    LoginItem() = delete;

    [[nodiscard]] static bool isEnabled();

    // Switches launch at login; nothing on success, otherwise the system's description of the
    // error that stopped it.
    [[nodiscard]] static std::optional<QString> set(bool enabled);
};

}  // namespace brimlet

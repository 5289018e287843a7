#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace brimlet {

// One way of starting the program at login: a system service, or a file that the session's
// launcher reads.
class LoginMechanism {
  public:
    virtual ~LoginMechanism() = default;
    [[nodiscard]] virtual bool isEnabled() const = 0;
    [[nodiscard]] virtual std::optional<QString> set(bool enabled) const = 0;
};

// The mechanism for the running system, chosen anew at every call. Each platform defines it in a
// file of its own.
[[nodiscard]] std::unique_ptr<LoginMechanism> currentLoginMechanism();

}  // namespace brimlet

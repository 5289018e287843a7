#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "login/LoginMechanism.h"

namespace brimlet {

// The file's content for an executable path, or the reason it cannot be made.
struct AgentContent {
    QByteArray bytes;
    std::optional<QString> error;
};

// Launch at login kept as a file that the session reads at login (a launch agent property list,
// an XDG autostart entry). On means something exists at the path, or at the end of a link
// there; its content is not read.
class AgentFile final : public LoginMechanism {
  public:
    using ContentBuilder = std::function<AgentContent(const QString& executable)>;

    // `executable` is read when the file is written, so the file names the program's location at
    // the moment launch at login was switched on.
    AgentFile(QString path, ContentBuilder content, std::function<QString()> executable);

    [[nodiscard]] bool isEnabled() const override;
    [[nodiscard]] std::optional<QString> set(bool enabled) const override;

  private:
    [[nodiscard]] std::optional<QString> enable() const;
    [[nodiscard]] std::optional<QString> disable() const;

    QString path_;
    ContentBuilder content_;
    std::function<QString()> executable_;
};

// The running program's absolute path, or empty when it cannot be told.
[[nodiscard]] QString runningExecutablePath();

}  // namespace brimlet

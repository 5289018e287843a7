#pragma once

#include <QString>

#include "login/AgentFile.h"

namespace brimlet {

// ~/Library/LaunchAgents/com.zorvan.brimlet.plist under the given home folder.
[[nodiscard]] QString launchAgentPath(const QString& home);

// The agent property list that starts `executable` with no arguments at login.
[[nodiscard]] AgentContent launchAgentContent(const QString& executable);

}  // namespace brimlet

#pragma once

#include <QProcessEnvironment>
#include <QString>

#include "login/AgentFile.h"

namespace brimlet {

// autostart/com.zorvan.brimlet.desktop in the user's config folder: $XDG_CONFIG_HOME when it is
// an absolute path, else ~/.config.
[[nodiscard]] QString autostartEntryPath(const QProcessEnvironment& environment,
                                         const QString& home);

// `path` as one argument of a desktop entry's Exec key: double-quoted with the characters that
// need it escaped, % doubled, and then escaped once more as the key's string value.
[[nodiscard]] QString quotedExecArgument(const QString& path);

// A desktop entry that starts `executable` with no arguments when the session starts.
[[nodiscard]] AgentContent autostartEntryContent(const QString& executable);

}  // namespace brimlet

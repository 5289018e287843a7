#pragma once

#include <QProcessEnvironment>
#include <QString>

#include "login/AgentFile.h"

namespace brimlet {

// autostart/com.zorvan.brimlet.desktop in the user's config folder: $XDG_CONFIG_HOME when it is
// an absolute path, else ~/.config.
[[nodiscard]] QString autostartEntryPath(const QProcessEnvironment& environment,
                                         const QString& home);

// The Exec value that starts `path` with no arguments: the path as it is when it holds nothing
// the Exec syntax reserves, else double-quoted with the characters that need it escaped; % doubled
// either way, and then escaped once more as the key's string value.
[[nodiscard]] QString execValue(const QString& path);

// A desktop entry that starts `executable` with no arguments when the session starts. Its
// TryExec names the same file, so a session skips the entry once that program is gone.
[[nodiscard]] AgentContent autostartEntryContent(const QString& executable);

}  // namespace brimlet

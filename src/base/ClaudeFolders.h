#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace brimlet {

// Where Claude Code keeps its data, found the way it finds it: its configuration folder is
// $CLAUDE_CONFIG_DIR when that is set and not empty, else ~/.claude.
[[nodiscard]] QString claudeConfigFolder(const QProcessEnvironment& environment,
                                         const QString& home);

// The folders of project folders that hold its transcripts: <configuration>/projects, and
// ~/.config/claude/projects, where some versions wrote them, whether or not either exists yet.
// A folder named twice is listed once.
[[nodiscard]] QStringList transcriptRoots(const QProcessEnvironment& environment,
                                          const QString& home);

}  // namespace brimlet

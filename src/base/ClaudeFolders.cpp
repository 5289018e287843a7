#include "base/ClaudeFolders.h"

#include <QDir>

namespace brimlet {

QString claudeConfigFolder(const QProcessEnvironment& environment, const QString& home) {
    const QString configured = environment.value(QStringLiteral("CLAUDE_CONFIG_DIR"));
    if (configured.isEmpty()) {
        return QDir::cleanPath(home + QStringLiteral("/.claude"));
    }
    // A relative value is taken from where Brimlet was started, as from where Claude Code was.
    return QDir::cleanPath(QDir::current().absoluteFilePath(configured));
}

QStringList transcriptRoots(const QProcessEnvironment& environment, const QString& home) {
    QStringList roots{claudeConfigFolder(environment, home) + QStringLiteral("/projects"),
                      QDir::cleanPath(home + QStringLiteral("/.config/claude/projects"))};
    roots.removeDuplicates();
    return roots;
}

}  // namespace brimlet

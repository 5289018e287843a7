#include "login/XdgAutostart.h"

#include <QDir>

#include "login/LaunchAgent.h"

namespace brimlet {
namespace {

// Inside a quoted Exec argument these four need a backslash, and % starts a field code.
QString quoteArgument(const QString& path) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        } else if (c == u'%') {
            quoted += u'%';
        }
        quoted += c;
    }
    return quoted + u'"';
}

// The escapes of a desktop entry's string values, applied after the argument quoting.
QString escapeStringValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        switch (c.unicode()) {
            case u'\\':
                escaped += QStringLiteral("\\\\");
                break;
            case u'\n':
                escaped += QStringLiteral("\\n");
                break;
            case u'\t':
                escaped += QStringLiteral("\\t");
                break;
            case u'\r':
                escaped += QStringLiteral("\\r");
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

}  // namespace

QString autostartEntryPath(const QProcessEnvironment& environment, const QString& home) {
    const QString configured = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    const QString config =
        QDir::isAbsolutePath(configured) ? configured : home + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/") + agentLabel + QStringLiteral(".desktop");
}

QString quotedExecArgument(const QString& path) {
    return escapeStringValue(quoteArgument(path));
}

AgentContent autostartEntryContent(const QString& executable) {
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Version=1.0\n"
                              "Name=Brimlet\n"
                              "Comment=Claude Code 사용량 게이지\n"
                              "Exec=") +
                          quotedExecArgument(executable) +
                          QStringLiteral(
                              "\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n");
    return {entry.toUtf8(), std::nullopt};
}

}  // namespace brimlet

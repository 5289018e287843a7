#include "login/XdgAutostart.h"

#include <QDir>
#include <algorithm>

#include "base/AppIdentifier.h"

namespace brimlet {
namespace {

// The characters that make an Exec argument need quotes; control characters are quoted as well,
// since parsers differ on what separates arguments.
bool needsQuotes(const QString& path) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return path.isEmpty() || std::any_of(path.cbegin(), path.cend(), [](QChar c) {
               return c.unicode() < 0x20 || reserved.contains(c);
           });
}

// % starts a field code anywhere; inside quotes four more characters need a backslash. A plain
// path stays plain, so an installed program reads Exec=/usr/bin/brimlet.
QString execArgument(const QString& path) {
    const bool quote = needsQuotes(path);
    QString argument = quote ? QStringLiteral("\"") : QString();
    for (const QChar c : path) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) {
            argument += u'\\';
        } else if (c == u'%') {
            argument += u'%';
        }
        argument += c;
    }
    return quote ? argument + u'"' : argument;
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
    return config + QStringLiteral("/autostart/") + appIdentifier + QStringLiteral(".desktop");
}

QString execValue(const QString& path) {
    return escapeStringValue(execArgument(path));
}

AgentContent autostartEntryContent(const QString& executable) {
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Version=1.0\n"
                              "Name=Brimlet\n"
                              "Comment=Claude Code 사용량 게이지\n"
                              "Exec=") +
                          execValue(executable) + QStringLiteral("\nTryExec=") +
                          // a plain path, not a command line: no quotes, spaces as they are
                          escapeStringValue(executable) +
                          QStringLiteral(
                              "\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n");
    return {entry.toUtf8(), std::nullopt};
}

}  // namespace brimlet

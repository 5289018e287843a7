// The Exec argument of the autostart entry: read back by the Desktop Entry rules for string
// values and Exec arguments, it is the path it was made from, and it stays on one line.
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "login/XdgAutostart.h"

namespace {

// The escapes of string values: \s \n \t \r \\; any other backslash makes the value invalid.
std::optional<QString> unescapeStringValue(const QString& value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\') {
            text += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        const qsizetype escape = QStringView(u"sntr\\").indexOf(value[i]);
        if (escape < 0) {
            return std::nullopt;
        }
        text += QStringView(u" \n\t\r\\")[escape];
    }
    return text;
}

// A plain argument of the Exec key: no reserved character and no blank, %% stands for %.
std::optional<QString> readPlainArgument(const QString& plain) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (plain.isEmpty()) {
        return std::nullopt;
    }
    QString text;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const QChar c = plain[i];
        if (c.unicode() < 0x20 || reserved.contains(c)) {
            return std::nullopt;
        }
        if (c == u'%' && (++i == plain.size() || plain[i] != u'%')) {
            return std::nullopt;  // a lone % would start a field code
        }
        text += c;
    }
    return text;
}

// One quoted argument of the Exec key: inside the double quotes a backslash escapes " ` $ and \,
// and %% stands for %; a lone % would start a field code.
std::optional<QString> readQuotedArgument(const QString& quoted) {
    if (quoted.size() < 2 || !quoted.endsWith(u'"')) {
        return std::nullopt;
    }
    QString text;
    for (qsizetype i = 1; i + 1 < quoted.size(); ++i) {
        const QChar c = quoted[i];
        if (c == u'"' || c == u'`' || c == u'$') {
            return std::nullopt;  // must be escaped inside quotes
        }
        if (c == u'\\' || c == u'%') {
            const QChar next = i + 2 < quoted.size() ? quoted[i + 1] : QChar();
            const bool escapes = c == u'%' ? next == u'%' : QStringView(u"\"`$\\").contains(next);
            if (!escapes) {
                return std::nullopt;
            }
            text += next;
            ++i;
            continue;
        }
        text += c;
    }
    return text;
}

std::optional<QString> readArgument(const QString& argument) {
    return argument.startsWith(u'"') ? readQuotedArgument(argument) : readPlainArgument(argument);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString exec = brimlet::execValue(path);
    if (exec.contains(u'\n') || exec.contains(u'\r')) {
        std::abort();
    }
    const std::optional<QString> value = unescapeStringValue(exec);
    if (!value || readArgument(*value) != path) {
        std::abort();
    }
    return 0;
}

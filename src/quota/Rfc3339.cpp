#include "quota/Rfc3339.h"

#include <QTimeZone>
#include <algorithm>

namespace brimlet {
namespace {

// 'd' stands for one ASCII digit, 's' for a sign, anything else for itself.
constexpr QStringView dateTimeShape = u"dddd-dd-ddTdd:dd:dd";
constexpr QStringView offsetShape = u"sdd:dd";

[[nodiscard]] bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

[[nodiscard]] bool matches(QStringView text, QStringView shape) {
    if (text.size() != shape.size()) {
        return false;
    }
    for (qsizetype i = 0; i < shape.size(); ++i) {
        const QChar c = text[i];
        const bool fits = shape[i] == u'd'   ? isAsciiDigit(c)
                          : shape[i] == u's' ? (c == u'+' || c == u'-')
                                             : c == shape[i];
        if (!fits) {
            return false;
        }
    }
    return true;
}

// Only called on text that matched a shape, so every character is a digit.
[[nodiscard]] int number(QStringView digits) {
    int value = 0;
    for (const QChar c : digits) {
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// Seconds east of UTC for "Z" or "±hh:mm".
[[nodiscard]] std::optional<int> zoneOffset(QStringView zone) {
    if (zone == u"Z") {
        return 0;
    }
    if (!matches(zone, offsetShape)) {
        return std::nullopt;
    }
    const int hours = number(zone.mid(1, 2));
    const int minutes = number(zone.mid(4, 2));
    if (hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    const int seconds = hours * 3600 + minutes * 60;
    return zone[0] == u'-' ? -seconds : seconds;
}

// Milliseconds of ".ddd…" (one digit or more) at the start of rest, and where the fraction ends.
struct Fraction {
    int milliseconds = 0;
    qsizetype length = 0;
};

[[nodiscard]] std::optional<Fraction> fraction(QStringView rest) {
    if (rest.isEmpty() || rest[0] != u'.') {
        return std::nullopt;
    }
    qsizetype end = 1;
    while (end < rest.size() && isAsciiDigit(rest[end])) {
        ++end;
    }
    if (end == 1) {
        return std::nullopt;
    }
    const QString firstThree = rest.mid(1, std::min<qsizetype>(end - 1, 3)).toString();
    return Fraction{number(firstThree.leftJustified(3, u'0')), end};
}

enum class FractionRule { Required, Forbidden };

[[nodiscard]] std::optional<QDateTime> parse(QStringView text, FractionRule rule) {
    const QStringView head = text.left(dateTimeShape.size());
    if (!matches(head, dateTimeShape)) {
        return std::nullopt;
    }
    QStringView rest = text.mid(dateTimeShape.size());
    int milliseconds = 0;
    if (rule == FractionRule::Required) {
        const auto part = fraction(rest);
        if (!part) {
            return std::nullopt;
        }
        milliseconds = part->milliseconds;
        rest = rest.mid(part->length);
    }
    const auto offset = zoneOffset(rest);
    const QDate date(number(head.mid(0, 4)), number(head.mid(5, 2)), number(head.mid(8, 2)));
    const QTime time(number(head.mid(11, 2)), number(head.mid(14, 2)), number(head.mid(17, 2)),
                     milliseconds);
    if (!offset || !date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return QDateTime(date, time, QTimeZone::utc()).addSecs(-*offset);
}

}  // namespace

std::optional<QDateTime> isoFractional(QStringView text) {
    return parse(text, FractionRule::Required);
}

std::optional<QDateTime> iso(QStringView text) {
    return parse(text, FractionRule::Forbidden);
}

}  // namespace brimlet

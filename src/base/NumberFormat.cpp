#include "base/NumberFormat.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cstdio>

namespace brimlet {

QString printfWhole(double value) {
    std::array<char, 32> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), "%.0f", value);
    if (length < 0) {
        return {};
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
        return QString::fromLatin1(buffer.data(), length);
    }
    // Huge magnitudes need more room than the buffer; measure and write again.
    QByteArray wide(length + 1, '\0');
    std::snprintf(wide.data(), static_cast<std::size_t>(wide.size()), "%.0f", value);
    return QString::fromLatin1(wide.constData(), length);
}

QString decimalWithFraction(double value) {
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    const bool bareInteger =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit() || c == u'-'; });
    if (bareInteger) {
        text += QStringLiteral(".0");
    }
    return text;
}

}  // namespace brimlet

#include "base/StrictJson.h"

#include <QJsonDocument>

#include "base/JsonString.h"
#include "base/Utf8Validation.h"

namespace brimlet::json {
namespace {

// QJsonDocument's bound, kept so that no document it refuses is read here.
constexpr int kMaxNesting = 1024;
// A number written without exponent in at most this many characters cannot leave the range of a
// double, so only longer ones and those with an exponent need converting to be checked.
constexpr qsizetype kAlwaysInRangeLength = 300;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// False when the number overflows a double or underflows to zero.
bool isWithinDoubleRange(QByteArrayView number) {
    bool inRange = false;
    static_cast<void>(number.toDouble(&inRange));
    return inRange;
}

}  // namespace

QString decoded(const RawString& raw) {
    if (!raw.hasEscapes) {
        return QString::fromUtf8(raw.text);
    }
    QString text;
    const char* at = raw.text.data();
    const char* const end = at + raw.text.size();
    while (at < end) {
        const char* runEnd = at;
        while (runEnd < end && *runEnd != '\\') {
            ++runEnd;
        }
        text += QString::fromUtf8(at, runEnd - at);
        if (runEnd == end) {
            break;
        }
        // The string was validated: every backslash starts a whole escape.
        if (runEnd[1] == 'u') {
            text +=
                QChar(static_cast<char16_t>(QByteArrayView(runEnd + 2, 4).toUShort(nullptr, 16)));
            at = runEnd + 6;
        } else {
            text += QLatin1Char(jsonEscapedCharacter(runEnd[1]));
            at = runEnd + 2;
        }
    }
    return text;
}

bool keyIs(const RawString& key, QLatin1StringView name) {
    if (!key.hasEscapes) {
        return key.text == QByteArrayView(name.data(), name.size());
    }
    return decoded(key) == name;
}

double numberValue(const NumberText& number) {
    if (number.isInteger) {
        bool fits = false;
        const qlonglong integer = number.text.toLongLong(&fits);
        if (fits) {
            return static_cast<double>(integer);
        }
    }
    return number.text.toDouble();
}

bool Reader::value() {
    switch (peek()) {
        case '{':
            return object([this](const RawString&) { return value(); });
        case '[':
            return list('[', ']', [this] { return value(); });
        case '"':
            return string().has_value();
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default:
            return (peek() == '-' || isDigit(peek())) && number().has_value();
    }
}

bool Reader::enter(char opening) {
    ++depth_;
    return depth_ <= kMaxNesting && take(opening);
}

bool Reader::leave() {
    --depth_;
    return true;
}

std::optional<RawString> Reader::string() {
    const char* const start = at_ + 1;  // past the opening quote
    const std::optional<JsonStringEnd> scanned = scanJsonString(start, end_);
    if (!scanned) {
        return std::nullopt;
    }
    at_ = scanned->closingQuote + 1;
    return RawString{QByteArrayView(start, scanned->closingQuote - start), scanned->hasEscapes};
}

bool Reader::digits() {
    if (!isDigit(peek())) {
        return false;
    }
    while (isDigit(peek())) {
        ++at_;
    }
    return true;
}

std::optional<NumberText> Reader::number() {
    const char* const start = at_;
    NumberText number;
    take('-');
    if (!take('0') && !(peek() >= '1' && peek() <= '9' && digits())) {
        return std::nullopt;
    }
    bool hasExponent = false;
    if (take('.')) {
        number.isInteger = false;
        if (!digits()) {
            return std::nullopt;
        }
    }
    if (take('e') || take('E')) {
        number.isInteger = false;
        hasExponent = true;
        if (!take('+')) {
            take('-');
        }
        if (!digits()) {
            return std::nullopt;
        }
    }
    number.text = QByteArrayView(start, at_ - start);
    if ((hasExponent || number.text.size() > kAlwaysInRangeLength) &&
        !isWithinDoubleRange(number.text)) {
        return std::nullopt;
    }
    return number;
}

bool Reader::literal(QByteArrayView word) {
    if (QByteArrayView(at_, end_ - at_).startsWith(word)) {
        at_ += word.size();
        return true;
    }
    return false;
}

bool isStrictJson(QByteArrayView text) {
    if (!isValidUtf8(text)) {
        return false;
    }
    Reader reader(text);
    reader.skipWhitespace();
    const bool valid = reader.value();
    reader.skipWhitespace();
    return valid && reader.atEnd();
}

std::optional<QJsonObject> strictObject(const QByteArray& text) {
    if (!isStrictJson(text)) {
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(text);
    return document.isObject() ? std::optional(document.object()) : std::nullopt;
}

}  // namespace brimlet::json

#include "activity/LineUsage.h"

#include <QLatin1StringView>
#include <QString>
#include <cstring>

#include "activity/JsonString.h"

namespace brimlet {
namespace {

// QJsonDocument's bound, kept so that no document it refuses is counted here.
constexpr int kMaxNesting = 1024;
// A number written without exponent in at most this many characters cannot leave the range of a
// double, so only longer ones and those with an exponent need converting to be checked.
constexpr qsizetype kAlwaysInRangeLength = 300;

// Of every member, the last occurrence counts; a value of the wrong type leaves it unset.
struct UsageMembers {
    std::optional<double> outputTokens;
};
struct MessageMembers {
    std::optional<QString> model;
    std::optional<UsageMembers> usage;
};

// A string as written between its quotes, escapes still in place.
struct RawString {
    QByteArrayView text;
    bool hasEscapes = false;
};

struct NumberText {
    QByteArrayView text;
    bool isInteger = true;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

QString decodedString(const RawString& raw) {
    if (!raw.hasEscapes) {
        return QString::fromUtf8(raw.text);
    }
    QString decoded;
    const char* at = raw.text.data();
    const char* const end = at + raw.text.size();
    while (at < end) {
        const char* runEnd = at;
        while (runEnd < end && *runEnd != '\\') {
            ++runEnd;
        }
        decoded += QString::fromUtf8(at, runEnd - at);
        if (runEnd == end) {
            break;
        }
        // The string was validated: every backslash starts a whole escape.
        if (runEnd[1] == 'u') {
            decoded +=
                QChar(static_cast<char16_t>(QByteArrayView(runEnd + 2, 4).toUShort(nullptr, 16)));
            at = runEnd + 6;
        } else {
            decoded += QLatin1Char(jsonEscapedCharacter(runEnd[1]));
            at = runEnd + 2;
        }
    }
    return decoded;
}

// False when the number overflows a double or underflows to zero.
bool isWithinDoubleRange(QByteArrayView number) {
    bool inRange = false;
    static_cast<void>(number.toDouble(&inRange));
    return inRange;
}

bool keyIs(const RawString& key, QLatin1StringView name) {
    if (!key.hasEscapes) {
        return key.text == QByteArrayView(name.data(), name.size());
    }
    return decodedString(key) == name;
}

std::optional<QString> asString(const std::optional<RawString>& raw) {
    if (!raw) {
        return std::nullopt;
    }
    return decodedString(*raw);
}

// Converted the way QJsonDocument does: integers that fit 64 bits exactly, the rest as doubles.
double asDouble(const NumberText& number) {
    if (number.isInteger) {
        bool fits = false;
        const qlonglong integer = number.text.toLongLong(&fits);
        if (fits) {
            return static_cast<double>(integer);
        }
    }
    return number.text.toDouble();
}

std::optional<LineUsage> classified(const QString& model, double tokens) {
    if (model.contains(u"fable")) {
        return LineUsage{true, tokens};
    }
    if (model.contains(u"opus")) {
        return LineUsage{false, tokens};
    }
    return std::nullopt;
}

// A recursive-descent reader of one JSON text that validates everything it passes over and keeps
// only the three members a transcript line is read for. Every reading function returns false as
// soon as the text is not JSON; the caller then drops the whole line.
class UsageReader {
  public:
    explicit UsageReader(QByteArrayView text) : at_(text.data()), end_(text.data() + text.size()) {}

    std::optional<LineUsage> read() {
        std::optional<MessageMembers> message;
        skipWhitespace();
        if (peek() != '{') {
            return std::nullopt;
        }
        const bool valid = object([&](const RawString& key) {
            return keyIs(key, QLatin1StringView("message")) ? messageValue(message) : value();
        });
        skipWhitespace();
        if (!valid || at_ != end_ || !message || !message->model || !message->usage ||
            !message->usage->outputTokens) {
            return std::nullopt;
        }
        return classified(*message->model, *message->usage->outputTokens);
    }

  private:
    [[nodiscard]] char peek() const { return at_ < end_ ? *at_ : '\0'; }

    bool take(char c) {
        if (at_ == end_ || *at_ != c) {
            return false;
        }
        ++at_;
        return true;
    }

    void skipWhitespace() {
        while (at_ < end_ && (*at_ == ' ' || *at_ == '\t' || *at_ == '\n' || *at_ == '\r')) {
            ++at_;
        }
    }

    // A value that counts only as an object: `out` gets the members readMember picks out, or
    // stays unset when the value is of another type.
    template <typename Members, typename ReadMember>
    bool objectValue(std::optional<Members>& out, const ReadMember& readMember) {
        out.reset();
        if (peek() != '{') {
            return value();
        }
        Members members;
        const bool valid = object([&](const RawString& key) { return readMember(key, members); });
        if (valid) {
            out = std::move(members);
        }
        return valid;
    }

    bool messageValue(std::optional<MessageMembers>& out) {
        return objectValue(out, [this](const RawString& key, MessageMembers& members) {
            if (keyIs(key, QLatin1StringView("model"))) {
                return stringValue(members.model);
            }
            return keyIs(key, QLatin1StringView("usage")) ? usageValue(members.usage) : value();
        });
    }

    bool usageValue(std::optional<UsageMembers>& out) {
        return objectValue(out, [this](const RawString& key, UsageMembers& members) {
            return keyIs(key, QLatin1StringView("output_tokens")) ? tokenValue(members.outputTokens)
                                                                  : value();
        });
    }

    bool stringValue(std::optional<QString>& out) {
        out.reset();
        if (peek() != '"') {
            return value();
        }
        const std::optional<RawString> raw = string();
        out = asString(raw);
        return raw.has_value();
    }

    bool tokenValue(std::optional<double>& out) {
        out.reset();
        if (peek() != '-' && !isDigit(peek())) {
            return value();
        }
        const std::optional<NumberText> number = this->number();
        if (number) {
            out = asDouble(*number);
        }
        return number.has_value();
    }

    // Any value, read only to be validated and passed over.
    bool value() {
        switch (peek()) {
            case '{':
                return object([this](const RawString&) { return value(); });
            case '[':
                return array();
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

    // Calls onMember with each key, positioned at the start of its value; onMember reads the value.
    template <typename OnMember>
    bool object(const OnMember& onMember) {
        return list('{', '}', [&] {
            if (peek() != '"') {
                return false;
            }
            const std::optional<RawString> key = string();
            skipWhitespace();
            if (!key || !take(':')) {
                return false;
            }
            skipWhitespace();
            return onMember(*key);
        });
    }

    bool array() {
        return list('[', ']', [this] { return value(); });
    }

    // A bracketed, comma-separated list; readItem reads one item from its first character on.
    template <typename ReadItem>
    bool list(char opening, char closing, const ReadItem& readItem) {
        if (!enter(opening)) {
            return false;
        }
        skipWhitespace();
        if (take(closing)) {
            return leave();
        }
        do {
            skipWhitespace();
            if (!readItem()) {
                return false;
            }
            skipWhitespace();
        } while (take(','));
        return take(closing) && leave();
    }

    bool enter(char opening) {
        ++depth_;
        return depth_ <= kMaxNesting && take(opening);
    }

    bool leave() {
        --depth_;
        return true;
    }

    std::optional<RawString> string() {
        const char* const start = at_ + 1;  // past the opening quote
        const std::optional<JsonStringEnd> scanned = scanJsonString(start, end_);
        if (!scanned) {
            return std::nullopt;
        }
        at_ = scanned->closingQuote + 1;
        return RawString{QByteArrayView(start, scanned->closingQuote - start), scanned->hasEscapes};
    }

    bool digits() {
        if (!isDigit(peek())) {
            return false;
        }
        while (isDigit(peek())) {
            ++at_;
        }
        return true;
    }

    std::optional<NumberText> number() {
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

    bool literal(QByteArrayView word) {
        if (QByteArrayView(at_, end_ - at_).startsWith(word)) {
            at_ += word.size();
            return true;
        }
        return false;
    }

    const char* at_;
    const char* const end_;
    int depth_ = 0;
};

}  // namespace

std::optional<LineUsage> lineUsage(QByteArrayView line) {
    return UsageReader(line).read();
}

}  // namespace brimlet

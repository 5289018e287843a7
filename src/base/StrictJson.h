#pragma once

#include <QByteArrayView>
#include <QJsonObject>
#include <QLatin1StringView>
#include <QString>
#include <optional>

namespace brimlet::json {

// A string as written between its quotes, escapes still in place.
struct RawString {
    QByteArrayView text;
    bool hasEscapes = false;
};

// A number as written.
struct NumberText {
    QByteArrayView text;
    bool isInteger = true;
};

// A string with its escapes decoded.
[[nodiscard]] QString decoded(const RawString& raw);
// Whether a key, once decoded, is `name`; without decoding when it holds no escape.
[[nodiscard]] bool keyIs(const RawString& key, QLatin1StringView name);
// Converted the way QJsonDocument does: integers that fit 64 bits exactly, the rest as doubles.
[[nodiscard]] double numberValue(const NumberText& number);

// A reader of one JSON text by the strict grammar of RFC 8259, with no leniency, that validates
// everything it passes over: the caller reads the members it wants and passes over the rest with
// value(). Where the grammar leaves room, it decides as QJsonDocument does: more than 1024 nested
// containers are refused, and so is a number that overflows a double or underflows to zero. Every
// reading function returns false (or nothing) as soon as the text is not JSON, leaving the reader
// somewhere inside it. Bytes are taken as they are: checking that they are UTF-8 is the caller's.
class Reader {
  public:
    explicit Reader(QByteArrayView text) : at_(text.data()), end_(text.data() + text.size()) {}

    [[nodiscard]] char peek() const { return at_ < end_ ? *at_ : '\0'; }
    [[nodiscard]] bool atEnd() const { return at_ == end_; }

    void skipWhitespace() {
        while (at_ < end_ && (*at_ == ' ' || *at_ == '\t' || *at_ == '\n' || *at_ == '\r')) {
            ++at_;
        }
    }

    // Any value, read only to be validated and passed over.
    bool value();

    // An object, from its opening brace: calls onMember(key) with the reader at the start of the
    // member's value, which onMember reads (or passes over with value()).
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

    // A string, from its opening quote.
    std::optional<RawString> string();
    // A number, from its first character.
    std::optional<NumberText> number();

  private:
    bool take(char c) {
        if (at_ == end_ || *at_ != c) {
            return false;
        }
        ++at_;
        return true;
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

    bool enter(char opening);
    bool leave();
    bool digits();
    bool literal(QByteArrayView word);

    const char* at_;
    const char* const end_;
    int depth_ = 0;
};

// True when `text` is UTF-8 holding exactly one JSON value by the strict grammar above, with only
// white space around it.
[[nodiscard]] bool isStrictJson(QByteArrayView text);

// The object `text` holds when it is strict JSON (see isStrictJson) and an object; QJsonDocument
// alone is lenient: it takes "1.", unknown escapes such as \q and raw control characters.
[[nodiscard]] std::optional<QJsonObject> strictObject(const QByteArray& text);

}  // namespace brimlet::json

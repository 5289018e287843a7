#include "activity/LineUsage.h"

#include <QString>

#include "base/StrictJson.h"

namespace brimlet {
namespace {

using json::RawString;

// Beyond this a double no longer holds every integer: no real reply writes that many tokens, and
// such a count would only print as an absurd rate.
constexpr double kMostTokens = 9007199254740992.0;  // 2^53

// Of every member, the last occurrence counts; a value of the wrong type leaves it unset.
struct UsageMembers {
    std::optional<double> outputTokens;
};
struct MessageMembers {
    std::optional<QString> model;
    std::optional<std::string> id;
    std::optional<UsageMembers> usage;
};

// The bytes as they stand when there is no escape: the caller has checked that they are UTF-8.
std::string utf8Text(const RawString& raw) {
    return raw.hasEscapes ? json::decoded(raw).toStdString()
                          : std::string(raw.text.data(), static_cast<std::size_t>(raw.text.size()));
}

std::optional<LineUsage> classified(const QString& model, double tokens, std::string id) {
    if (model.contains(u"fable")) {
        return LineUsage{true, tokens, std::move(id)};
    }
    if (model.contains(u"opus")) {
        return LineUsage{false, tokens, std::move(id)};
    }
    return std::nullopt;
}

// Reads one line with the strict JSON reader, keeping only the four members a transcript line is
// read for. Every reading function returns false as soon as the text is not JSON; the caller then
// drops the whole line.
class UsageReader {
  public:
    explicit UsageReader(QByteArrayView text) : json_(text) {}

    std::optional<LineUsage> read() {
        std::optional<MessageMembers> message;
        json_.skipWhitespace();
        if (json_.peek() != '{') {
            return std::nullopt;
        }
        const bool valid = json_.object([&](const RawString& key) {
            return json::keyIs(key, QLatin1StringView("message")) ? messageValue(message)
                                                                  : json_.value();
        });
        json_.skipWhitespace();
        if (!valid || !json_.atEnd() || !message || !message->model || !message->usage ||
            !message->usage->outputTokens) {
            return std::nullopt;
        }
        return classified(*message->model, *message->usage->outputTokens,
                          message->id.value_or(std::string()));
    }

  private:
    // A value that counts only as an object: `out` gets the members readMember picks out, or
    // stays unset when the value is of another type.
    template <typename Members, typename ReadMember>
    bool objectValue(std::optional<Members>& out, const ReadMember& readMember) {
        out.reset();
        if (json_.peek() != '{') {
            return json_.value();
        }
        Members members;
        const bool valid =
            json_.object([&](const RawString& key) { return readMember(key, members); });
        if (valid) {
            out = std::move(members);
        }
        return valid;
    }

    bool messageValue(std::optional<MessageMembers>& out) {
        return objectValue(out, [this](const RawString& key, MessageMembers& members) {
            if (json::keyIs(key, QLatin1StringView("model"))) {
                return stringValue(members.model, json::decoded);
            }
            if (json::keyIs(key, QLatin1StringView("id"))) {
                return stringValue(members.id, utf8Text);
            }
            return json::keyIs(key, QLatin1StringView("usage")) ? usageValue(members.usage)
                                                                : json_.value();
        });
    }

    bool usageValue(std::optional<UsageMembers>& out) {
        return objectValue(out, [this](const RawString& key, UsageMembers& members) {
            return json::keyIs(key, QLatin1StringView("output_tokens"))
                       ? tokenValue(members.outputTokens)
                       : json_.value();
        });
    }

    // A value that counts only as a string: `out` gets it through `decode`, or stays unset when
    // the value is of another type.
    template <typename Text, typename Decode>
    bool stringValue(std::optional<Text>& out, const Decode& decode) {
        out.reset();
        if (json_.peek() != '"') {
            return json_.value();
        }
        const std::optional<RawString> raw = json_.string();
        if (raw) {
            out = decode(*raw);
        }
        return raw.has_value();
    }

    // A count below zero or beyond kMostTokens is unreadable: the line counts nothing.
    bool tokenValue(std::optional<double>& out) {
        out.reset();
        const char first = json_.peek();
        if (first != '-' && (first < '0' || first > '9')) {
            return json_.value();
        }
        const std::optional<json::NumberText> number = json_.number();
        if (number) {
            const double tokens = json::numberValue(*number);
            if (tokens >= 0 && tokens <= kMostTokens) {
                out = tokens;
            }
        }
        return number.has_value();
    }

    json::Reader json_;
};

}  // namespace

std::optional<LineUsage> lineUsage(QByteArrayView line) {
    return UsageReader(line).read();
}

}  // namespace brimlet

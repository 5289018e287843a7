#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringBuilder>
#include <optional>
#include <tuple>

#include "activity/LineUsage.h"

namespace brimlet {
namespace {

QByteArray usageLine(const QByteArray& model, const QByteArray& tokens) {
    return R"({"type":"assistant","message":{"model":")" + model +
           R"(","usage":{"input_tokens":3,"output_tokens":)" + tokens + "}}}";
}

LineUsage opus(double tokens, std::string id = {}) {
    return {false, tokens, std::move(id)};
}
LineUsage fable(double tokens) {
    return {true, tokens, {}};
}

void expectUsage(const QByteArray& line, const std::optional<LineUsage>& expected) {
    const auto fields = [](const std::optional<LineUsage>& usage) {
        return usage ? std::optional(std::tuple(usage->isFable, usage->tokens, usage->messageId))
                     : std::nullopt;
    };
    EXPECT_EQ(fields(lineUsage(line)), fields(expected)) << line.toStdString();
}

// The model must name Fable (tested first) or Opus, case-sensitively; the token count must be a
// JSON number from 0 to 2^53.
TEST(LineUsageTest, ReadsTheModelAndTheTokenCount) {
    const struct {
        QByteArray model;
        QByteArray tokens;
        std::optional<LineUsage> usage;
    } cases[] = {
        {"claude-opus-4-1-20250805", "7", opus(7)},
        {"opus-and-fable", "7", fable(7)},
        {"claude-sonnet-4", "7", std::nullopt},
        {"claude-OPUS-4", "7", std::nullopt},
        {R"(claude-\u006fpus)", "7", opus(7)},  // escapes are decoded before the test
        {R"(op\nus)", "7", std::nullopt},
        {"opus", "0", opus(0)},
        {"opus", "12.5", opus(12.5)},
        {"opus", "9007199254740992", opus(9007199254740992.0)},
        // Counts that no reply can write are unreadable, as if the count were missing.
        {"opus", "-5", std::nullopt},
        {"opus", "9007199254740994", std::nullopt},
        {"opus", "2.5E+2", opus(250)},
        {"opus", "1e-320", opus(1e-320)},
        {"opus", R"("12")", std::nullopt},
        // Not JSON numbers, or outside the range of a double: the whole line is refused.
        {"opus", "1.", std::nullopt},
        {"opus", ".5", std::nullopt},
        {"opus", "01", std::nullopt},
        {"opus", "+1", std::nullopt},
        {"opus", "-", std::nullopt},
        {"opus", "1e400", std::nullopt},
        {"opus", "2e-324", std::nullopt},
    };
    for (const auto& c : cases) {
        expectUsage(usageLine(c.model, c.tokens), c.usage);
    }
}

TEST(LineUsageTest, NeedsEveryMemberWithItsType) {
    const struct {
        QByteArray line;
        std::optional<LineUsage> usage;
    } cases[] = {
        {R"({"message":{"usage":{"output_tokens":1},"model":"opus"}})", opus(1)},
        {R"({"m\u0065ssage":{"model":"opus","usage":{"output_\u0074okens":1}}})", opus(1)},
        {R"({"message":{"model":"opus","usage":{}}})", std::nullopt},
        {R"({"message":{"usage":{"output_tokens":1}}})", std::nullopt},
        {R"({"message":{"model":"opus","usage":[{"output_tokens":1}]}})", std::nullopt},
        {R"([{"message":{"model":"opus","usage":{"output_tokens":1}}}])", std::nullopt},
        // Of duplicate members the last one counts, at every level.
        {R"({"message":{"model":"opus","usage":{"output_tokens":1}},"message":{}})", std::nullopt},
        {R"({"message":3,"message":{"model":"opus","usage":{"output_tokens":2}}})", opus(2)},
        {R"({"message":{"model":"opus","model":1,"usage":{"output_tokens":3}}})", std::nullopt},
        {R"({"message":{"model":"opus","usage":{"output_tokens":5,"output_tokens":7}}})", opus(7)},
        {R"({"message":{"model":"opus","usage":{"output_tokens":5},"usage":{}}})", std::nullopt},
        // The reply's id, when it is a string: decoded, the last one counting.
        {R"({"message":{"id":"msg_01Ab","model":"opus","usage":{"output_tokens":1}}})",
         opus(1, "msg_01Ab")},
        {R"({"message":{"id":"msg_\u00e9\"","model":"opus","usage":{"output_tokens":1}}})",
         opus(1, "msg_\xC3\xA9\"")},
        {R"({"message":{"id":"a","id":7,"model":"opus","usage":{"output_tokens":1}}})", opus(1)},
        {R"({"id":"x","message":{"model":"opus","usage":{"output_tokens":1},"id":""}})", opus(1)},
    };
    for (const auto& c : cases) {
        expectUsage(c.line, c.usage);
    }
}

TEST(LineUsageTest, RefusesWhatIsNotStrictJson) {
    const QByteArray valid = usageLine("opus", "1");
    const QByteArray head = R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":)";
    // Nesting beyond QJsonDocument's bound is refused as it refuses it.
    const auto nested = [&head](int depth) -> QByteArray {
        return head + QByteArray(depth - 1, '[') + QByteArray(depth - 1, ']') + "}";
    };
    const QByteArray refused[] = {
        valid + ",",
        QByteArray(valid).append('\0'),
        "\xEF\xBB\xBF" + valid,  // a byte order mark
        R"({"message":{"model":"opus","usage":{"output_tokens":1,}}})",
        R"({'message':{"model":"opus","usage":{"output_tokens":1}}})",
        head + "tru}",
        head + R"("\x"})",
        head + R"("\u12G4"})",
        "{\"message\":{\"model\":\"opus\t\",\"usage\":{\"output_tokens\":1}}}",
        valid + "\f",
        head + R"("unterminated})",
        nested(1025),
    };
    for (const auto& line : refused) {
        expectUsage(line, std::nullopt);
    }
    const QByteArray counted[] = {" \t" + valid + " \r", head + R"("\ud800"})", nested(1024)};
    for (const auto& line : counted) {
        expectUsage(line, opus(1));
    }
}

}  // namespace
}  // namespace brimlet

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <optional>
#include <random>

#include "activity/LineUsage.h"
#include "activity/Utf8Validation.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

QByteArray usageLine(const QByteArray& model, const QByteArray& tokens) {
    return R"({"type":"assistant","message":{"model":")" + model +
           R"(","usage":{"input_tokens":3,"output_tokens":)" + tokens + "}}}";
}

void expectUsage(const std::optional<LineUsage>& actual, const std::optional<LineUsage>& expected,
                 const QByteArray& line) {
    ASSERT_EQ(actual.has_value(), expected.has_value()) << line.toStdString();
    if (expected) {
        EXPECT_EQ(actual->isFable, expected->isFable) << line.toStdString();
        EXPECT_EQ(actual->tokens, expected->tokens) << line.toStdString();
    }
}

constexpr LineUsage opus(double tokens) {
    return {false, tokens};
}
constexpr LineUsage fable(double tokens) {
    return {true, tokens};
}

// The model must name Fable (tested first) or Opus, case-sensitively; the token count must be a
// JSON number within the range of a double.
TEST(LineUsageTest, ReadsTheModelAndTheTokenCount) {
    const struct {
        QByteArray model;
        QByteArray tokens;
        std::optional<LineUsage> usage;
    } cases[] = {
        {"claude-opus-4-1-20250805", "7", opus(7)},
        {"claude-fable-3-5", "7", fable(7)},
        {"opus-and-fable", "7", fable(7)},
        {"fable-and-opus", "7", fable(7)},
        {"claude-sonnet-4", "7", std::nullopt},
        {"claude-OPUS-4", "7", std::nullopt},
        {"Fable", "7", std::nullopt},
        {"", "7", std::nullopt},
        {R"(claude-\u006fpus)", "7", opus(7)},  // escapes are decoded before the test
        {R"(f\u0061ble)", "7", fable(7)},
        {R"(op\nus)", "7", std::nullopt},
        {"opus", "400", opus(400)},
        {"opus", "0", opus(0)},
        {"opus", "12.5", opus(12.5)},
        {"opus", "-5", opus(-5)},
        {"opus", "1e3", opus(1000)},
        {"opus", "2.5E+2", opus(250)},
        {"opus", "99999999999999999999999", opus(1e23)},
        {"opus", "9223372036854775807", opus(9223372036854775807.0)},
        {"opus", "1e-320", opus(1e-320)},
        {"opus", R"("12")", std::nullopt},
        {"opus", "null", std::nullopt},
        {"opus", "[1]", std::nullopt},
        {"opus", R"({"n":1})", std::nullopt},
        // Not JSON numbers, or outside the range of a double: the whole line is refused.
        {"opus", "1.", std::nullopt},
        {"opus", ".5", std::nullopt},
        {"opus", "01", std::nullopt},
        {"opus", "+1", std::nullopt},
        {"opus", "1e", std::nullopt},
        {"opus", "-", std::nullopt},
        {"opus", "NaN", std::nullopt},
        {"opus", "1e400", std::nullopt},
        {"opus", "2e-324", std::nullopt},
        {"opus", "0x10", std::nullopt},
    };
    for (const auto& c : cases) {
        const QByteArray line = usageLine(c.model, c.tokens);
        expectUsage(lineUsage(line), c.usage, line);
    }
}

TEST(LineUsageTest, NeedsEveryMemberWithItsType) {
    const struct {
        QByteArray line;
        std::optional<LineUsage> usage;
    } cases[] = {
        {R"({"message":{"model":"opus","usage":{"output_tokens":1}}})", opus(1)},
        {R"({"message":{"usage":{"output_tokens":1},"model":"opus"}})", opus(1)},
        {R"({"m\u0065ssage":{"model":"opus","usage":{"output_\u0074okens":1}}})", opus(1)},
        {R"({"message":{"model":"opus","usage":{}}})", std::nullopt},
        {R"({"message":{"model":"opus"}})", std::nullopt},
        {R"({"message":{"usage":{"output_tokens":1}}})", std::nullopt},
        {R"({"message":{"model":7,"usage":{"output_tokens":1}}})", std::nullopt},
        {R"({"message":{"model":null,"usage":{"output_tokens":1}}})", std::nullopt},
        {R"({"message":{"model":"opus","usage":[{"output_tokens":1}]}})", std::nullopt},
        {R"({"message":{"model":"opus","usage":"output_tokens"}})", std::nullopt},
        {R"({"message":"{\"model\":\"opus\"}","usage":{"output_tokens":1}})", std::nullopt},
        {R"({"model":"opus","usage":{"output_tokens":1}})", std::nullopt},
        {R"([{"message":{"model":"opus","usage":{"output_tokens":1}}}])", std::nullopt},
        {R"("output_tokens")", std::nullopt},
        // Of duplicate members the last one counts, at every level.
        {R"({"message":{"model":"opus","usage":{"output_tokens":1}},"message":{}})", std::nullopt},
        {R"({"message":3,"message":{"model":"opus","usage":{"output_tokens":2}}})", opus(2)},
        {R"({"message":{"model":"opus","usage":{"output_tokens":2}},"message":[]})", std::nullopt},
        {R"({"message":{"model":"opus","model":"fable","usage":{"output_tokens":3}}})", fable(3)},
        {R"({"message":{"model":"opus","model":1,"usage":{"output_tokens":3}}})", std::nullopt},
        {R"({"message":{"model":"opus","usage":{"output_tokens":5,"output_tokens":7}}})", opus(7)},
        {R"({"message":{"model":"opus","usage":{"output_tokens":5,"output_tokens":"7"}}})",
         std::nullopt},
        {R"({"message":{"model":"opus","usage":{"output_tokens":5},"usage":{}}})", std::nullopt},
    };
    for (const auto& c : cases) {
        expectUsage(lineUsage(c.line), c.usage, c.line);
    }
}

TEST(LineUsageTest, RefusesWhatIsNotStrictJson) {
    const QByteArray valid = usageLine("opus", "1");
    // Nesting beyond QJsonDocument's bound is refused as it refuses it.
    const auto nested = [](int depth) -> QByteArray {
        return R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":)" +
               QByteArray(depth - 1, '[') + QByteArray(depth - 1, ']') + "}";
    };
    const QByteArray refused[] = {
        valid + ",",
        valid + "x",
        QByteArray(valid).append('\0'),
        "\xEF\xBB\xBF" + valid,  // a byte order mark
        valid.chopped(1),
        R"({"message":{"model":"opus","usage":{"output_tokens":1,}}})",
        R"({"message":{"model":"opus","usage":{"output_tokens":1}},})",
        R"({"message":{"model":"opus","usage":{"output_tokens" 1}}})",
        R"({'message':{"model":"opus","usage":{"output_tokens":1}}})",
        R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":tru})",
        R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":[1,]})",
        R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":"\x"})",
        R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":"\u12"})",
        R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":"\u12G4"})",
        "{\"message\":{\"model\":\"opus\t\",\"usage\":{\"output_tokens\":1}}}",
        valid + "\f",
        R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":1e999})",
        R"({"message":{"model":"opus","usage":{"output_tokens":1}},"x":"unterminated})",
        nested(1025),
    };
    for (const auto& line : refused) {
        EXPECT_FALSE(lineUsage(line).has_value()) << line.left(100).toStdString();
    }
    const QByteArray counted[] = {
        " \t" + valid + " \r",
        R"({"x":"\ud800","message":{"model":"opus","usage":{"output_tokens":1}}})",
        nested(1024),
    };
    for (const auto& line : counted) {
        EXPECT_TRUE(lineUsage(line).has_value()) << line.left(100).toStdString();
    }
}

// What QJsonDocument makes of a line under the same classification rule.
std::optional<LineUsage> referenceUsage(const QJsonDocument& document) {
    const QJsonObject message = document.object().value(u"message").toObject();
    const QJsonValue model = message.value(u"model");
    const QJsonValue tokens = message.value(u"usage").toObject().value(u"output_tokens");
    if (!document.object().value(u"message").isObject() || !model.isString() ||
        !message.value(u"usage").isObject() || !tokens.isDouble()) {
        return std::nullopt;
    }
    if (model.toString().contains(u"fable")) {
        return fable(tokens.toDouble());
    }
    return model.toString().contains(u"opus") ? std::optional(opus(tokens.toDouble()))
                                              : std::nullopt;
}

// QJsonDocument is lenient in places (raw control characters, unknown escapes, "1.", a trailing
// NUL), so the comparison is one-sided: nothing it refuses is counted here, where both count they
// agree, and its own compact rewriting of what it accepts (strict JSON) is read the same here.
TEST(LineUsageTest, AgreesWithQJsonDocumentOnMutatedLines) {
    const QByteArray bases[] = {
        usageLine("claude-opus-4", "1234"),
        R"({"a":[1,-2.5e3,true,false,null,{"b":"x\"y\\z\/\u00e9\n"}],"message":{"id":"m",)"
        R"("model":"claude-fable-2","content":[{"type":"text","text":"for (i = 0; i < n; ++i))"
        R"( {\n\tprintf(\"%d\\n\", i);\n}\n한국어 \ud83d\ude00 끝"}],"usage":)"
        R"({"input_tokens":10,"output_tokens":0.5e1}},"t":"2025-01-01T00:00:00Z"})",
        R"({"message" : { "usage" : { "output_tokens" : 12 } , "model" : "opus" } , "n" : -0 })",
    };
    const char inserts[] = R"({}[],:"\ 0123456789eE.-+tfnu/abx)";
    std::mt19937 random(7);
    int bothCounted = 0;
    int refused = 0;
    for (int i = 0; i < 6000; ++i) {
        QByteArray line = bases[i % std::size(bases)];
        const int mutations = 1 + static_cast<int>(random() % 3);
        for (int m = 0; m < mutations; ++m) {
            const auto at = static_cast<qsizetype>(random() % line.size());
            const char insert = inserts[random() % (sizeof inserts - 1)];
            switch (random() % 3) {
                case 0:
                    line.remove(at, 1);
                    break;
                case 1:
                    line.insert(at, insert);
                    break;
                default:
                    line[at] = insert;
            }
        }
        if (!isValidUtf8(line)) {  // as transcript chunks are checked before
            continue;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        const std::optional<LineUsage> ours = lineUsage(line);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            EXPECT_FALSE(ours.has_value()) << line.toStdString();
            ++refused;
            continue;
        }
        const std::optional<LineUsage> reference = referenceUsage(document);
        if (ours) {
            expectUsage(ours, reference, line);
            bothCounted += reference.has_value() ? 1 : 0;
        }
        const QByteArray rewritten = document.toJson(QJsonDocument::Compact);
        expectUsage(lineUsage(rewritten), reference, rewritten);
    }
    EXPECT_GT(bothCounted, 500);
    EXPECT_GT(refused, 1000);
}

// Runs of backslashes and escaped quotes at every place relative to the 64-byte blocks the
// string scan works in; the pieces are always valid JSON except a bare quote, which ends the
// string early and leaves the rest as garbage. The verdict must match QJsonDocument's exactly.
TEST(LineUsageTest, AgreesWithQJsonDocumentOnEscapesAcrossBlocks) {
    const QByteArray pieces[] = {"a", R"(\\)", R"(\")", R"(\n)", R"(\u0041)", "한", "opus"};
    std::mt19937 random(11);
    for (int i = 0; i < 3000; ++i) {
        QByteArray text;
        const int length = static_cast<int>(random() % 160);
        for (int n = 0; n < length; ++n) {
            // A bare quote is rare, so that most strings stay open long enough.
            const auto roll = random() % 200;
            text += roll == 0 ? QByteArray("\"") : pieces[roll % std::size(pieces)];
        }
        const QByteArray line = R"({"message":{"model":"opus)" + text +
                                R"(","usage":{"output_tokens":1}},"tail":")" + text + "\"}";
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        const std::optional<LineUsage> reference =
            error.error == QJsonParseError::NoError ? referenceUsage(document) : std::nullopt;
        expectUsage(lineUsage(line), reference, line);
    }
}

}  // namespace
}  // namespace brimlet

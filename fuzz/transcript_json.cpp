// The transcript line reader against QJsonDocument. QJsonDocument is lenient in places (raw
// control characters, unknown escapes, "1.", a trailing NUL), so the comparison is one-sided:
// nothing it refuses is read here, where both read a line they agree, and its own compact
// rewriting of what it accepts (strict JSON) is read here as it reads it.
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstdlib>

#include "activity/LineUsage.h"
#include "base/StrictJson.h"
#include "base/Utf8Validation.h"

namespace {

using brimlet::LineUsage;

// What QJsonDocument makes of a line under the same rules.
std::optional<LineUsage> referenceUsage(const QJsonDocument& document) {
    const QJsonValue message = document.object().value(u"message");
    const QJsonValue model = message.toObject().value(u"model");
    const QJsonValue usage = message.toObject().value(u"usage");
    const QJsonValue tokens = usage.toObject().value(u"output_tokens");
    const QJsonValue id = message.toObject().value(u"id");
    const std::string idText = id.isString() ? id.toString().toStdString() : std::string();
    if (!message.isObject() || !model.isString() || !usage.isObject() || !tokens.isDouble() ||
        tokens.toDouble() < 0 || tokens.toDouble() > 9007199254740992.0) {
        return std::nullopt;
    }
    if (model.toString().contains(u"fable")) {
        return LineUsage{true, tokens.toDouble(), idText};
    }
    if (model.toString().contains(u"opus")) {
        return LineUsage{false, tokens.toDouble(), idText};
    }
    return std::nullopt;
}

bool same(const std::optional<LineUsage>& a, const std::optional<LineUsage>& b) {
    return a.has_value() == b.has_value() &&
           (!a ||
            (a->isFable == b->isFable && a->tokens == b->tokens && a->messageId == b->messageId));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!brimlet::isValidUtf8(line)) {
        return 0;  // transcript lines are checked before they are read
    }
    const std::optional<LineUsage> ours = brimlet::lineUsage(line);
    if (ours && !brimlet::json::isStrictJson(line)) {
        std::abort();
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        if (ours) {
            std::abort();
        }
        return 0;
    }
    const std::optional<LineUsage> reference = referenceUsage(document);
    if ((ours && !same(ours, reference)) ||
        !same(brimlet::lineUsage(document.toJson(QJsonDocument::Compact)), reference)) {
        std::abort();
    }
    return 0;
}

#pragma once

#include <QByteArrayView>
#include <optional>

namespace brimlet {

// What one transcript line reports about a model reply.
struct LineUsage {
    bool isFable = false;
    double tokens = 0;
};

// Reads message.model and message.usage.output_tokens from one transcript line, which must be one
// strict JSON object (RFC 8259 grammar, no leniency). Where that grammar leaves room, it decides as
// QJsonDocument does: of duplicate members the last one counts, more than 1024 nested containers
// are refused, and so is a number that overflows a double or underflows to zero. The model must
// contain "fable" (a Fable reply, tested first) or "opus", case-sensitive; the token count must be
// a JSON number. Expects valid UTF-8 (the caller checks whole chunks).
[[nodiscard]] std::optional<LineUsage> lineUsage(QByteArrayView line);

}  // namespace brimlet

#pragma once

#include <QByteArrayView>
#include <optional>
#include <string>

namespace brimlet {

// What one transcript line reports about a model reply. One reply is often written over several
// lines, one per content block, all under its message id.
struct LineUsage {
    bool isFable = false;
    double tokens = 0;
    std::string messageId;  // UTF-8, escapes decoded; empty when the line names none
};

// Reads message.model, message.id and message.usage.output_tokens from one transcript line, which
// must be one strict JSON object (base/StrictJson.h). An id that is not a string is no id. The
// model must contain "fable" (a Fable reply, tested first) or "opus", case-sensitive; the token
// count must be a JSON number from 0 to 2^53: a count outside that range is unreadable and the line
// counts nothing. Takes the bytes as they are; whether they are UTF-8 is the caller's to check.
[[nodiscard]] std::optional<LineUsage> lineUsage(QByteArrayView line);

}  // namespace brimlet

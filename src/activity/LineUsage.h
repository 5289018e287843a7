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
// strict JSON object (base/StrictJson.h). The model must contain "fable" (a Fable reply, tested
// first) or "opus", case-sensitive; the token count must be a JSON number from 0 to 2^53: a count
// outside that range is unreadable and the line counts nothing. Takes the bytes as they are;
// whether they are UTF-8 is the caller's to check.
[[nodiscard]] std::optional<LineUsage> lineUsage(QByteArrayView line);

}  // namespace brimlet

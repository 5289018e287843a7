// The outside tool's credential text: a token comes only from strict JSON, is never empty and
// holds nothing that could break the header line it is sent in.
#include "quota/Credential.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "base/StrictJson.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QString> token = brimlet::accessTokenFrom(text);
    if (!token) {
        return 0;
    }
    if (token->isEmpty() || !brimlet::json::isStrictJson(text)) {
        std::abort();
    }
    for (const QChar c : *token) {
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f) {
            std::abort();
        }
    }
    return 0;
}

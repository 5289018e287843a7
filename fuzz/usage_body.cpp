// The usage endpoint's answer body: parsed into buckets, never more than three, and only from a
// body that passes the strict grammar; what that grammar accepts QJsonDocument reads too.
#include <QByteArray>
#include <QJsonDocument>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

#include "base/StrictJson.h"
#include "quota/QuotaPoller.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<brimlet::Bucket> buckets = brimlet::QuotaPoller::parse(body);
    const bool strict = brimlet::json::isStrictJson(body);
    if (buckets.size() > 3 || (!buckets.isEmpty() && !strict)) {
        std::abort();
    }
    // The strict grammar accepts no more than QJsonDocument does (roots it can hold).
    const QByteArray trimmed = body.trimmed();
    if (strict && (trimmed.startsWith('{') || trimmed.startsWith('['))) {
        QJsonParseError error{};
        static_cast<void>(QJsonDocument::fromJson(body, &error));
        if (error.error != QJsonParseError::NoError) {
            std::abort();
        }
    }
    for (const brimlet::Bucket& bucket : buckets) {
        if (bucket.remaining() < 0 || bucket.remaining() > 100 || bucket.label().isEmpty()) {
            std::abort();
        }
    }
    return 0;
}

// RFC 3339 date-times as the usage service sends them in "resets_at".
#include "quota/Rfc3339.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QDateTime> fractional = brimlet::isoFractional(text);
    const std::optional<QDateTime> plain = brimlet::iso(text);
    // A fraction is required by one and refused by the other.
    if (fractional && plain) {
        std::abort();
    }
    // Whatever is read is a valid instant, and reads back the same written in UTC (where the
    // year has four digits: an offset may carry 0001-01-01 into the year before, and
    // 9999-12-31 into the year 10000).
    for (const std::optional<QDateTime>& instant : {fractional, plain}) {
        if (!instant) {
            continue;
        }
        const QString written = instant->toString(u"yyyy-MM-dd'T'HH:mm:ss.zzz'Z'");
        if (!instant->isValid() || (instant->date().year() >= 1 && instant->date().year() <= 9999 &&
                                    brimlet::isoFractional(written) != instant)) {
            std::abort();
        }
    }
    return 0;
}

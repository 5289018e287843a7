#pragma once

#include <QDateTime>
#include <QStringView>
#include <optional>

namespace brimlet {

// Strict RFC 3339 internet date-times, "2026-04-11T07:00:00.528743+00:00" and
// "2026-04-11T07:00:00Z". Both need the full date with dashes, an upper-case T, the time with
// colons and a zone (upper-case Z or ±hh:mm); nothing may lead or trail. Ranges are checked
// (a 31st of April or 24:00 does not parse). A leap second (:60) does not parse either: QDateTime
// cannot hold it, and a reset time a second off is not worth a special case. The result is in UTC.
// Both are plain functions without state, so any thread may call them.

// With a fraction of a second of one or more digits; digits past the millisecond are dropped.
[[nodiscard]] std::optional<QDateTime> isoFractional(QStringView text);
// Without a fraction.
[[nodiscard]] std::optional<QDateTime> iso(QStringView text);

}  // namespace brimlet

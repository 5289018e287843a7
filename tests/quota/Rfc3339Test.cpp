#include <gtest/gtest.h>

#include <QTimeZone>

#include "quota/Rfc3339.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

QDateTime utc(int month, int day, int hour, int minute, int second, int ms = 0) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute, second, ms), QTimeZone::utc());
}

// Each text with what isoFractional and iso make of it; the refused ones give nothing from both.
TEST(Rfc3339Test, ReadsStrictInternetDateTimes) {
    const struct {
        const char16_t* text;
        std::optional<QDateTime> fractional = {};
        std::optional<QDateTime> plain = {};
    } cases[] = {
        {u"2026-04-11T07:00:00.528743+00:00", utc(4, 11, 7, 0, 0, 528), {}},
        {u"2026-04-11T07:00:00Z", {}, utc(4, 11, 7, 0, 0)},
        {u"2026-04-11T07:00:00.05Z", utc(4, 11, 7, 0, 0, 50), {}},
        // Digits past the millisecond are dropped, not rounded into the next second.
        {u"2026-04-11T07:00:59.9999999999Z", utc(4, 11, 7, 0, 59, 999), {}},
        {u"2026-04-11T09:30:00+02:30", {}, utc(4, 11, 7, 0, 0)},
        {u"2026-04-11T01:00:00.250-06:00", utc(4, 11, 7, 0, 0, 250), {}},
        {u"2026-04-11T23:59:59+23:59", {}, utc(4, 11, 0, 0, 59)},
        {u"2026-04-11T07:00:00"},        // no zone
        {u"2026-04-11 07:00:00Z"},       // blank for T
        {u"2026-04-11t07:00:00z"},       // lower case
        {u"2026-04-11T07:00:00.Z"},      // empty fraction
        {u"2026-04-11T07:00:00+0000"},   // offset without colon
        {u"2026-04-11T07:00:00+24:00"},  // offset hour out of range
        {u" 2026-04-11T07:00:00Z"},      // leading blank
        {u"2026-04-11T07:00:00ZZ"},      // trailing garbage
        {u"2026-04-11T07:00Z"},          // no seconds
        {u"2026-04-31T07:00:00Z"},       // April has 30 days: QDate judges the date
        {u"2026-04-11T23:59:60Z"},       // a leap second: QTime judges the time
        {u"２０２６-04-11T07:00:00Z"},   // full-width digits
    };
    for (const auto& c : cases) {
        const QStringView text(c.text);
        EXPECT_EQ(isoFractional(text), c.fractional) << text.toString().toStdString();
        EXPECT_EQ(iso(text), c.plain) << text.toString().toStdString();
    }
}

}  // namespace
}  // namespace brimlet

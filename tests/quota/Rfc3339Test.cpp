#include <gtest/gtest.h>

#include <QTimeZone>

#include "quota/Rfc3339.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), QTimeZone::utc());
}

struct Case {
    const char16_t* text;
    std::optional<QDateTime> fractional;  // what isoFractional gives
    std::optional<QDateTime> plain;       // what iso gives
};

void check(const Case& c) {
    const QStringView text(c.text);
    EXPECT_EQ(isoFractional(text), c.fractional) << text.toString().toStdString();
    EXPECT_EQ(iso(text), c.plain) << text.toString().toStdString();
}

TEST(Rfc3339Test, ReadsTheFormsTheServiceSends) {
    const Case cases[] = {
        {u"2026-04-11T07:00:00.528743+00:00", utc(2026, 4, 11, 7, 0, 0, 528), {}},
        {u"2026-04-11T07:00:00Z", {}, utc(2026, 4, 11, 7, 0, 0)},
        {u"2026-04-11T07:00:00+00:00", {}, utc(2026, 4, 11, 7, 0, 0)},
        {u"2026-04-11T07:00:00-00:00", {}, utc(2026, 4, 11, 7, 0, 0)},
        {u"2026-04-11T07:00:00.5Z", utc(2026, 4, 11, 7, 0, 0, 500), {}},
        {u"2026-04-11T07:00:00.05Z", utc(2026, 4, 11, 7, 0, 0, 50), {}},
        // Digits past the millisecond are dropped, not rounded into the next second.
        {u"2026-04-11T07:00:59.9999999999Z", utc(2026, 4, 11, 7, 0, 59, 999), {}},
        {u"2026-04-11T09:30:00+02:30", {}, utc(2026, 4, 11, 7, 0, 0)},
        {u"2026-04-11T01:00:00.250-06:00", utc(2026, 4, 11, 7, 0, 0, 250), {}},
        {u"2026-12-31T23:30:00-01:00", {}, utc(2027, 1, 1, 0, 30, 0)},
        {u"2028-02-29T00:00:00Z", {}, utc(2028, 2, 29, 0, 0, 0)},
        {u"2026-04-11T23:59:59+23:59", {}, utc(2026, 4, 11, 0, 0, 59)},
    };
    for (const auto& c : cases) {
        check(c);
    }
}

TEST(Rfc3339Test, RefusesEverythingElse) {
    const char16_t* const texts[] = {
        u"",
        u"2026-04-11T07:00:00",           // no zone
        u"2026-04-11T07:00:00.528743",    // no zone
        u"2026-04-11 07:00:00Z",          // blank for T
        u"2026-04-11t07:00:00z",          // lower case
        u"2026-04-11T07:00:00.Z",         // empty fraction
        u"2026-04-11T07:00:00,5Z",        // comma fraction
        u"2026-04-11T07:00:00+0000",      // offset without colon
        u"2026-04-11T07:00:00+00",        // offset without minutes
        u"2026-04-11T07:00:00+24:00",     // offset hour out of range
        u"2026-04-11T07:00:00+05:60",     // offset minute out of range
        u"2026-04-11T07:00:00 Z",         // blank before the zone
        u" 2026-04-11T07:00:00Z",         // leading blank
        u"2026-04-11T07:00:00Z ",         // trailing blank
        u"2026-04-11T07:00:00ZZ",         // trailing garbage
        u"2026-04-11T07:00Z",             // no seconds
        u"20260411T070000Z",              // basic format
        u"2026-W15-6T07:00:00Z",          // week date
        u"26-04-11T07:00:00Z",            // short year
        u"+2026-04-11T07:00:00Z",         // signed year
        u"0000-01-01T00:00:00Z",          // year zero
        u"2026-00-11T07:00:00Z",          // month zero
        u"2026-13-11T07:00:00Z",          // month 13
        u"2026-04-00T07:00:00Z",          // day zero
        u"2026-04-31T07:00:00Z",          // April has 30 days
        u"2026-02-29T07:00:00Z",          // not a leap year
        u"2026-04-11T24:00:00Z",          // hour 24
        u"2026-04-11T07:60:00Z",          // minute 60
        u"2026-04-11T23:59:60Z",          // leap second
        u"2026-04-1aT07:00:00Z",          // letter among digits
        u"２０２６-04-11T07:00:00Z",      // full-width digits
        u"2026-04-11T07:00:00.５Z",       // full-width fraction digit
        u"2026-04-11T07:00:00.123+0:00",  // one-digit offset hour
    };
    for (const auto* text : texts) {
        check({text, {}, {}});
    }
}

}  // namespace
}  // namespace brimlet

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/NumberFormat.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

TEST(NumberFormatTest, RoundsLikePrintf) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {12.5, "12"},
        {87.5, "88"},
        {62.5, "62"},
        {63.4, "63"},
        {0.5, "0"},
        {-0.4, "-0"},
        {130, "130"},
        {1e300, nullptr},
        {-5, "-5"},
        {99.5, "100"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {INFINITY, "inf"},
    };
    for (const auto& c : cases) {
        const QString text = printfWhole(c.value);
        if (c.text == nullptr) {
            EXPECT_EQ(text.size(), 301);  // 1 followed by 300 digits, no buffer cut
            EXPECT_TRUE(text.startsWith(u'1'));
        } else {
            EXPECT_EQ(text, QString::fromLatin1(c.text)) << c.value;
        }
    }
}

TEST(NumberFormatTest, ShortestDecimalKeepsAFraction) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{41, "41.0"},
                 {0, "0.0"},
                 {-1, "-1.0"},
                 {0.1, "0.1"},
                 {12.5, "12.5"},
                 {1920, "1920.0"},
                 {1.0 / 3, "0.3333333333333333"}};
    for (const auto& c : cases) {
        EXPECT_EQ(decimalWithFraction(c.value), QString::fromLatin1(c.text)) << c.value;
    }
}

}  // namespace
}  // namespace brimlet

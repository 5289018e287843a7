#include <gtest/gtest.h>

#include <limits>

#include "support/ColourProbes.h"
#include "support/QtPrinters.h"
#include "ui/Colours.h"
#include "ui/GaugeRenderer.h"
#include "ui/SquareGauge.h"

namespace brimlet {
namespace {

using test::expectColours;
using test::over;

Bucket used(double percent) {
    return Bucket(QStringLiteral("세션 (5시간)"), percent, std::nullopt);
}

// The gauge's own coordinates have their origin at the bottom left; Qt's at the top left.
QRectF bottomLeft(double x, double y, double w, double h) {
    return {x, 22 - y - h, w, h};
}

TEST(GaugeRendererTest, LaysOutThreeBarsAndTwoDotsIn41By22Points) {
    const GaugeShapes shapes = GaugeRenderer::shapes();
    EXPECT_EQ(shapes.size, QSizeF(41, 22));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(shapes.tracks.at(row), bottomLeft(2, 15 - 6 * row, 28, 4)) << row;
    }
    EXPECT_EQ(shapes.dots[0], bottomLeft(34, 12.5, 5, 5));  // Opus
    EXPECT_EQ(shapes.dots[1], bottomLeft(34, 4.5, 5, 5));   // Fable
    EXPECT_EQ(shapes.minFill, 1);
}

// The first three buckets fill their rows by their used share; none, a negative or unreadable
// share draws no fill, and a share thinner than one point is drawn one point wide.
TEST(GaugeRendererTest, FillsEachRowByItsBucketsUsedShare) {
    const struct {
        double used;
        double width;
    } cases[] = {
        {0, 0},           {-5, 0},   {std::numeric_limits<double>::quiet_NaN(), 0},
        {1, 1},           {3.5, 1},  {37.5, 10.5},
        {99.99, 27.9972}, {100, 28}, {130, 28},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(GaugeRenderer::fillWidth(c.used), c.width, 1e-9) << c.used;
    }
    GaugeRenderer gauge;
    gauge.buckets = {used(25), used(130), used(-5), used(10)};
    EXPECT_EQ(gauge.face().used, (std::array<double, 3>{0.25, 1, 0}));
}

// Tracks first, the fill over its track, faded when stale, then the dots: idle ones green, lit
// ones orange at the pulse's opacity, on a transparent ground. Probed in the 82 x 44 pixel image,
// at the centres of shapes, where antialiasing does not reach. (The fresh fill is seen in the
// self-test's picture.)
TEST(GaugeImageTest, PaintsTracksAStaleFillAndDotsWithTheirOpacities) {
    const QColor track = over(deepGreen, 0.7);
    GaugeRenderer gauge;
    gauge.buckets = {used(50)};
    gauge.stale = true;
    gauge.activity = {0, 12};
    const QImage image = gauge.image();
    ASSERT_EQ(image.size(), QSize(82, 44));
    EXPECT_EQ(image.devicePixelRatio(), 2);
    expectColours(image, {
                             {{0, 0}, Qt::transparent},
                             {{40, 43}, Qt::transparent},  // corner, below the bars
                             {{10, 12}, over(accent, 0.45, track)},
                             {{50, 12}, track},  // row 0: fill to 16 points
                             {{50, 24}, track},
                             {{73, 16}, over(idleGreen, 0.55)},
                             {{73, 32}, over(accent, 0.35)},
                         });
    // Linux panels come light or dark: the tray's square picture shows the same colours opaque,
    // as they look over a dark panel, so that a light panel does not wash them out.
    const QColor dark = squareGauge::panelBackdrop;
    const auto shapes = squareGauge::shapes(22);
    const auto centre = [](const QRectF& shape) { return shape.center().toPoint(); };
    expectColours(squareGauge::image(gauge.face(), 22),
                  {
                      {{0, 0}, Qt::transparent},
                      {centre(shapes.tracks[0]) - QPoint(4, 0),
                       over(accent, 0.45, over(deepGreen, 0.7, dark))},
                      {centre(shapes.tracks[1]), over(deepGreen, 0.7, dark)},
                      {centre(shapes.dots[0]), over(idleGreen, 0.55, dark)},
                      {centre(shapes.dots[1]), over(accent, 0.35, dark)},
                  });
}

class PulseTest : public testing::Test {
  protected:
    void step(qint64 ms) {
        now_ = now_.addMSecs(ms);
        changed_ = gauge_.advance();
    }

    QDateTime now_ = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    GaugeRenderer gauge_{[this] { return now_; }};
    bool changed_ = false;
};

TEST_F(PulseTest, DotsLightStrictlyAboveHalfATokenPerSecondAndShareOnePhase) {
    const struct {
        Signal activity;
        std::array<bool, 2> lit;
    } cases[] = {
        {{0.5, 0.5}, {false, false}}, {{0.51, 0}, {true, false}}, {{0, 12}, {false, true}}};
    for (const auto& c : cases) {
        gauge_.activity = c.activity;
        EXPECT_EQ(gauge_.face().lit, c.lit) << c.activity.opusRate;
        EXPECT_EQ(gauge_.face().pulseAlpha, c.lit[0] || c.lit[1] ? 0.35 : 0);
    }
    // At half a cycle both lit dots are fully opaque.
    gauge_.activity = {90, 30};
    step(125);  // period 0.25 s
    EXPECT_NEAR(gauge_.phase(), 0.5, 1e-9);
    EXPECT_EQ(gauge_.face().lit, (std::array<bool, 2>{true, true}));
    EXPECT_NEAR(gauge_.face().pulseAlpha, 1, 1e-9);
}

TEST_F(PulseTest, PeriodShortensWithTheLargerRate) {
    const struct {
        Signal activity;
        double period;
    } cases[] = {
        {{30, 90}, 0.25}, {{90, 30}, 0.25},          {{30, 0}, 0.575},
        {{0, 30}, 0.575}, {{1, 0}, 0.9 - 0.65 / 60}, {{60, 0}, 0.25},
    };
    for (const auto& c : cases) {
        gauge_.activity = {0, 0};
        step(0);  // back to phase 0
        gauge_.activity = c.activity;
        step(100);
        EXPECT_TRUE(changed_);
        EXPECT_NEAR(gauge_.phase(), 0.1 / c.period, 1e-9)
            << c.activity.opusRate << " / " << c.activity.fableRate;
    }
}

TEST_F(PulseTest, PhaseWrapsOnceAndStopsWithOneLastRedraw) {
    gauge_.activity = {0, 100};
    step(475);  // 1.9 periods of 0.25 s
    EXPECT_NEAR(gauge_.phase(), 1.9, 1e-9);
    step(50);  // + 0.2
    EXPECT_TRUE(changed_);
    EXPECT_NEAR(gauge_.phase(), 0.1, 1e-9);

    gauge_.activity = {0.5, 0.2};
    step(83);
    EXPECT_TRUE(changed_);  // the dots must be redrawn unlit once
    EXPECT_EQ(gauge_.phase(), 0);
    step(83);
    EXPECT_FALSE(changed_);
    EXPECT_EQ(gauge_.phase(), 0);
    gauge_.activity = {100, 0};
    step(50);
    step(-10'000);  // a clock set backwards does not run the phase backwards
    EXPECT_NEAR(gauge_.phase(), 0.2, 1e-9);
}

}  // namespace
}  // namespace brimlet

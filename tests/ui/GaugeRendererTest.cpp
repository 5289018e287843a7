#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <limits>

#include "support/QtPrinters.h"
#include "support/RecordingPaintDevice.h"
#include "ui/Colours.h"
#include "ui/GaugeRenderer.h"

namespace brimlet {
namespace {

using test::RecordedFill;
using test::RecordingPaintDevice;

// A shape as the gauge describes it: bottom-left origin, colour and replaced alpha.
struct Expected {
    double x, y, w, h;
    QColor colour;
    double alpha;
};

constexpr Expected track(int row) {
    return {2, 15.0 - 6 * row, 28, 4, deepGreen, 0.7};
}
constexpr Expected fill(int row, double w, double alpha = 1) {
    return {2, 15.0 - 6 * row, w, 4, accent, alpha};
}
constexpr Expected opusDot(const QColor& colour, double alpha) {
    return {34, 12.5, 5, 5, colour, alpha};
}
constexpr Expected fableDot(const QColor& colour, double alpha) {
    return {34, 4.5, 5, 5, colour, alpha};
}
const Expected idleOpus = opusDot(idleGreen, 0.55);
const Expected idleFable = fableDot(idleGreen, 0.55);

QList<RecordedFill> record(const GaugeRenderer& gauge) {
    RecordingPaintDevice device(41, 22);
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    gauge.draw(painter);
    painter.end();
    return device.fills();
}

void expectShapes(const GaugeRenderer& gauge, const std::vector<Expected>& expected) {
    const QList<RecordedFill> fills = record(gauge);
    ASSERT_EQ(fills.size(), static_cast<qsizetype>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const RecordedFill& got = fills.at(static_cast<qsizetype>(i));
        const Expected& want = expected[i];
        const double bottom = 22 - got.bounds.bottom();  // back to a bottom-left origin
        EXPECT_NEAR(got.bounds.x(), want.x, 1e-9) << "shape " << i;
        EXPECT_NEAR(bottom, want.y, 1e-9) << "shape " << i;
        EXPECT_NEAR(got.bounds.width(), want.w, 1e-9) << "shape " << i;
        EXPECT_NEAR(got.bounds.height(), want.h, 1e-9) << "shape " << i;
        EXPECT_EQ(got.colour.rgb(), want.colour.rgb()) << "shape " << i;
        EXPECT_NEAR(got.colour.alphaF(), want.alpha, 1e-4) << "shape " << i;
        EXPECT_EQ(got.mode, QPainter::CompositionMode_SourceOver);
        EXPECT_TRUE(got.antialiased);
    }
}

Bucket used(double percent) {
    return Bucket(QStringLiteral("세션 (5시간)"), percent, std::nullopt);
}

TEST(GaugeRendererTest, DrawsTracksFillsAndDotsInOrder) {
    GaugeRenderer gauge;
    EXPECT_EQ(GaugeRenderer::width, 41);
    expectShapes(gauge, {track(0), track(1), track(2), idleOpus, idleFable});

    gauge.buckets = {used(50)};
    expectShapes(gauge, {track(0), fill(0, 14), track(1), track(2), idleOpus, idleFable});

    gauge.buckets = {used(25), used(100), used(75), used(10)};
    expectShapes(gauge, {track(0), fill(0, 7), track(1), fill(1, 28), track(2), fill(2, 21),
                         idleOpus, idleFable});

    gauge.stale = true;
    gauge.buckets = {used(50), used(0)};
    expectShapes(gauge, {track(0), fill(0, 14, 0.45), track(1), track(2), idleOpus, idleFable});
}

TEST(GaugeRendererTest, FillWidthFollowsTheUsedShare) {
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
    gauge.buckets = {used(1), used(-5), used(130)};
    expectShapes(gauge,
                 {track(0), fill(0, 1), track(1), track(2), fill(2, 28), idleOpus, idleFable});
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

TEST_F(PulseTest, DotsLightStrictlyAboveHalfATokenPerSecond) {
    const struct {
        Signal activity;
        Expected opus;
        Expected fable;
    } cases[] = {
        {{0.5, 0.5}, idleOpus, idleFable},
        {{0.51, 0}, opusDot(accent, 0.35), idleFable},
        {{0, 12}, idleOpus, fableDot(accent, 0.35)},
    };
    for (const auto& c : cases) {
        gauge_.activity = c.activity;
        expectShapes(gauge_, {track(0), track(1), track(2), c.opus, c.fable});
    }
    // Both lit dots share one phase: at half a cycle they are fully opaque.
    gauge_.activity = {90, 30};
    step(125);  // period 0.25 s
    EXPECT_NEAR(gauge_.phase(), 0.5, 1e-9);
    expectShapes(gauge_, {track(0), track(1), track(2), opusDot(accent, 1), fableDot(accent, 1)});
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
}

TEST_F(PulseTest, AClockSetBackwardsDoesNotRunThePhaseBackwards) {
    gauge_.activity = {100, 0};
    step(50);
    step(-10'000);
    EXPECT_NEAR(gauge_.phase(), 0.2, 1e-9);
}

// Premultiplied storage rounds each channel by a step or so.
void expectPixel(const QImage& image, QPoint at, const QColor& colour, double alpha) {
    const QColor got = image.pixelColor(at);
    EXPECT_NEAR(got.red(), colour.red(), 2) << at.x() << "," << at.y();
    EXPECT_NEAR(got.green(), colour.green(), 2) << at.x() << "," << at.y();
    EXPECT_NEAR(got.blue(), colour.blue(), 2) << at.x() << "," << at.y();
    EXPECT_NEAR(got.alphaF(), alpha, 0.01) << at.x() << "," << at.y();
}

TEST(GaugeImageTest, IsRenderedAtTwiceItsPointSize) {
    GaugeRenderer gauge;
    gauge.buckets = {used(50)};
    const QImage image = gauge.image();
    EXPECT_EQ(image.size(), QSize(82, 44));
    EXPECT_EQ(image.devicePixelRatio(), 2);
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);    // nothing drawn in the corner
    EXPECT_EQ(qAlpha(image.pixel(40, 43)), 0);  // nor below the bars
    // Row 0 is 4 points from the top: pixel rows 8-15. Its fill covers x 2-16 points.
    expectPixel(image, {10, 12}, accent, 1);
    expectPixel(image, {50, 12}, deepGreen, 0.7);
    expectPixel(image, {73, 16}, idleGreen, 0.55);  // centre of the Opus dot: (36.5, 8) points
}

}  // namespace
}  // namespace brimlet

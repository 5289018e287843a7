#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cmath>

namespace brimlet::test {

// `colour` at `alpha` over what lies below, as source-over composites it.
inline QColor over(const QColor& colour, double alpha, const QColor& below = Qt::transparent) {
    const double belowAlpha = below.alphaF() * (1 - alpha);
    const double total = alpha + belowAlpha;
    const auto mix = [&](double top, double bottom) {
        return static_cast<int>(std::lround((top * alpha + bottom * belowAlpha) / total));
    };
    QColor result(mix(colour.red(), below.red()), mix(colour.green(), below.green()),
                  mix(colour.blue(), below.blue()));
    result.setAlphaF(static_cast<float>(total));
    return result;
}

// The colour expected at a point of a picture.
struct Probe {
    QPoint at;
    QColor colour;
    const char* what = "";
};

// Each probe's pixel: opaque or clear exactly as expected, else its opacity within 0.01, and its
// colour within `tolerance` steps a channel (premultiplied storage and scaling round a step or
// two).
inline void expectColours(const QImage& image, std::initializer_list<Probe> probes,
                          int tolerance = 2) {
    for (const auto& probe : probes) {
        const QColor got = image.pixelColor(probe.at);
        const std::string where = QStringLiteral("%1 (%2, %3)")
                                      .arg(probe.what)
                                      .arg(probe.at.x())
                                      .arg(probe.at.y())
                                      .toStdString();
        EXPECT_NEAR(got.alphaF(), probe.colour.alphaF(), probe.colour.alpha() % 255 == 0 ? 0 : 0.01)
            << where;
        if (probe.colour.alpha() > 0) {
            EXPECT_NEAR(got.red(), probe.colour.red(), tolerance) << where;
            EXPECT_NEAR(got.green(), probe.colour.green(), tolerance) << where;
            EXPECT_NEAR(got.blue(), probe.colour.blue(), tolerance) << where;
        }
    }
}

}  // namespace brimlet::test

#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "ui/SquareGauge.h"
#include "ui/TrayStatusItem.h"
#include "ui/sni/IconPixmaps.h"

namespace brimlet {
namespace {

TEST(IconPixmap, WritesNonPremultipliedArgbInNetworkOrderRowByRow) {
    const struct {
        const char* name;
        QImage::Format format;
        QColor colour;
        QByteArray expected;  // A, R, G, B
    } cases[] = {
        {"opaque", QImage::Format_ARGB32, QColor(255, 92, 31), QByteArray::fromHex("ffff5c1f")},
        {"translucent", QImage::Format_ARGB32, QColor(22, 122, 62, 128),
         QByteArray::fromHex("80167a3e")},
        {"premultiplied source", QImage::Format_ARGB32_Premultiplied, QColor(0, 0, 255, 128),
         QByteArray::fromHex("800000ff")},
    };
    for (const auto& pixel : cases) {
        SCOPED_TRACE(pixel.name);
        QImage image(1, 1, pixel.format);
        image.setPixelColor(0, 0, pixel.colour);
        EXPECT_EQ(iconPixmap(image).bytes, pixel.expected);
    }
    QImage image(2, 2, QImage::Format_ARGB32);
    for (int i = 0; i < 4; ++i) {
        image.setPixel(i % 2, i / 2, qRgba(i + 1, 0, 0, 255));
    }
    EXPECT_EQ(iconPixmap(image).bytes, QByteArray::fromHex("ff010000ff020000ff030000ff040000"));
}

// Down one column, '#' for a pixel opaque enough to see, '.' for the others.
QString columnProfile(const QImage& image, double x) {
    QString profile;
    for (int y = 0; y < image.height(); ++y) {
        profile.append(image.pixelColor(int(x), y).alpha() > 96 ? u'#' : u'.');
    }
    return profile;
}

QList<qsizetype> runLengths(const QString& profile, QChar separator) {
    QList<qsizetype> lengths;
    for (const auto& run : profile.split(separator, Qt::SkipEmptyParts)) {
        lengths.append(run.size());
    }
    return lengths;
}

// What a tray cell shows: at every offered size and at the size of any XEmbed cell from 16 pixels
// (i3bar's is 17), three bars at least 3 pixels thick with gaps of at least 2, two dots at least 4
// pixels across, nothing cut off at the edges.
TEST(SquareGauge, StaysLegibleAtEveryOfferedSizeAndEveryCell) {
    GaugeFace face;
    face.used = {1, 0.5, 0.01};
    face.lit = {true, false};
    face.pulseAlpha = 1;
    QList<std::pair<int, QImage>> pictures;
    for (const auto& pixmap : squareIconPixmaps(face)) {  // the sizes are seen end to end
        EXPECT_EQ(pixmap.height, pixmap.width);
        pictures.append({pixmap.width, squareGauge::image(face, pixmap.width)});
    }
    for (const int cell : {16, 17, 19, 21, 23, 26, 30}) {
        const QIcon icon = squareTrayPicture(face, QSize(cell, cell + 2));
        ASSERT_EQ(icon.availableSizes(), QList<QSize>{QSize(cell, cell)});
        pictures.append({cell, icon.pixmap(cell).toImage()});
    }
    for (const auto& [pixels, image] : pictures) {
        SCOPED_TRACE(pixels);
        const GaugeShapes shapes = squareGauge::shapes(pixels);
        const QString bars = columnProfile(image, shapes.tracks[0].center().x());
        const auto thicknesses = runLengths(bars, u'.');
        ASSERT_EQ(thicknesses.size(), 3) << bars.toStdString();
        EXPECT_GE(*std::min_element(thicknesses.begin(), thicknesses.end()), 3);
        const auto gaps = runLengths(bars.mid(bars.indexOf(u'#')).section(u'#', 0, -2), u'#');
        ASSERT_EQ(gaps.size(), 2) << bars.toStdString();
        EXPECT_GE(std::min(gaps[0], gaps[1]), 2);
        const auto dots = runLengths(columnProfile(image, shapes.dots[0].center().x()), u'.');
        ASSERT_EQ(dots.size(), 2);
        EXPECT_GE(std::min(dots[0], dots[1]), 4);
        EXPECT_FALSE(columnProfile(image, 0).contains(u'#'));
        EXPECT_FALSE(columnProfile(image, pixels - 1).contains(u'#'));
        // The 1 % row still shows a fill at its left end, in the fill's colour.
        const QColor thin = image.pixelColor(
            QPoint(int(shapes.tracks[2].left()), int(shapes.tracks[2].center().y())));
        EXPECT_GT(thin.red(), thin.green()) << thin.name().toStdString();
    }
}

}  // namespace
}  // namespace brimlet

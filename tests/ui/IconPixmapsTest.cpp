#include <gtest/gtest.h>

#include <QPainter>

#include "support/QtPrinters.h"
#include "ui/sni/IconPixmaps.h"

namespace brimlet {
namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (const auto value : values) {
        result.append(static_cast<char>(value));
    }
    return result;
}

struct PixelCase {
    const char* name;
    QImage::Format format;
    QColor colour;
    QByteArray expected;  // A, R, G, B
};

TEST(IconPixmap, WritesEachPixelAsNonPremultipliedArgbInNetworkOrder) {
    const PixelCase cases[] = {
        {"opaque", QImage::Format_ARGB32, QColor(255, 92, 31), bytes({255, 255, 92, 31})},
        {"translucent", QImage::Format_ARGB32, QColor(22, 122, 62, 128), bytes({128, 22, 122, 62})},
        {"premultiplied source", QImage::Format_ARGB32_Premultiplied, QColor(0, 0, 255, 128),
         bytes({128, 0, 0, 255})},
        {"byte-ordered source", QImage::Format_RGBA8888, QColor(1, 2, 3, 4), bytes({4, 1, 2, 3})},
        {"transparent", QImage::Format_ARGB32, QColor(0, 0, 0, 0), bytes({0, 0, 0, 0})},
    };
    for (const auto& pixel : cases) {
        SCOPED_TRACE(pixel.name);
        QImage image(1, 1, pixel.format);
        image.setPixelColor(0, 0, pixel.colour);
        const auto pixmap = iconPixmap(image);
        EXPECT_EQ(pixmap.width, 1);
        EXPECT_EQ(pixmap.height, 1);
        EXPECT_EQ(pixmap.bytes, pixel.expected);
    }
}

TEST(IconPixmap, RowsRunTopToBottomAndPixelsLeftToRight) {
    QImage image(2, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(1, 0, 0, 255));
    image.setPixel(1, 0, qRgba(2, 0, 0, 255));
    image.setPixel(0, 1, qRgba(3, 0, 0, 255));
    image.setPixel(1, 1, qRgba(4, 0, 0, 255));
    const auto pixmap = iconPixmap(image);
    EXPECT_EQ(pixmap.bytes, bytes({255, 1, 0, 0, 255, 2, 0, 0, 255, 3, 0, 0, 255, 4, 0, 0}));
}

// A gauge-like image at device pixel ratio 2: a bar on a transparent ground.
QImage gauge() {
    QImage image(82, 44, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(QRectF(0, 0, 20, 5), QColor(255, 92, 31));
    return image;
}

TEST(IconPixmaps, GivesTheIconAtOneAndTwoPixelsPerPoint) {
    const auto image = gauge();
    const auto pixmaps = iconPixmaps(image, QSize(41, 22));
    ASSERT_EQ(pixmaps.size(), 2);
    const QSize expectedSizes[] = {{41, 22}, {82, 44}};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(QSize(pixmaps.at(i).width, pixmaps.at(i).height), expectedSizes[i]);
        EXPECT_EQ(pixmaps.at(i).bytes.size(),
                  4 * expectedSizes[i].width() * expectedSizes[i].height());
    }
    // The image already has the large size: taken as it is, not resampled.
    EXPECT_EQ(pixmaps.at(1).bytes, iconPixmap(image).bytes);
    // The small one keeps the drawing: its top-left pixel is the bar's opaque colour.
    EXPECT_EQ(pixmaps.at(0).bytes.left(4), bytes({255, 255, 92, 31}));
}

TEST(IconPixmaps, NoImageGivesNoBitmaps) {
    EXPECT_TRUE(iconPixmaps(QImage(), QSize(41, 22)).isEmpty());
    EXPECT_TRUE(iconPixmaps(gauge(), QSize()).isEmpty());
}

}  // namespace
}  // namespace brimlet

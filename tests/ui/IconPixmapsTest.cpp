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

TEST(IconPixmap, WritesEachPixelAsNonPremultipliedArgbInNetworkOrder) {
    const struct {
        const char* name;
        QImage::Format format;
        QColor colour;
        QByteArray expected;  // A, R, G, B
    } cases[] = {
        {"opaque", QImage::Format_ARGB32, QColor(255, 92, 31), bytes({255, 255, 92, 31})},
        {"translucent", QImage::Format_ARGB32, QColor(22, 122, 62, 128), bytes({128, 22, 122, 62})},
        {"premultiplied source", QImage::Format_ARGB32_Premultiplied, QColor(0, 0, 255, 128),
         bytes({128, 0, 0, 255})},
        {"byte-ordered source", QImage::Format_RGBA8888, QColor(1, 2, 3, 4), bytes({4, 1, 2, 3})},
    };
    for (const auto& pixel : cases) {
        SCOPED_TRACE(pixel.name);
        QImage image(1, 1, pixel.format);
        image.setPixelColor(0, 0, pixel.colour);
        EXPECT_EQ(iconPixmap(image).bytes, pixel.expected);
    }
}

TEST(IconPixmap, RowsRunTopToBottomAndPixelsLeftToRight) {
    QImage image(2, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(1, 0, 0, 255));
    image.setPixel(1, 0, qRgba(2, 0, 0, 255));
    image.setPixel(0, 1, qRgba(3, 0, 0, 255));
    image.setPixel(1, 1, qRgba(4, 0, 0, 255));
    EXPECT_EQ(iconPixmap(image).bytes,
              bytes({255, 1, 0, 0, 255, 2, 0, 0, 255, 3, 0, 0, 255, 4, 0, 0}));
}

// The sizes and the large bitmap's bytes are seen over the bus; here what scaling keeps.
TEST(IconPixmaps, GivesTheIconAtOneAndTwoPixelsPerPoint) {
    QImage image(82, 44, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(QRectF(0, 0, 20, 5), QColor(255, 92, 31));
    const auto pixmaps = iconPixmaps(image, QSize(41, 22));
    ASSERT_EQ(pixmaps.size(), 2);
    EXPECT_EQ(pixmaps.at(0).bytes.size(), 4 * 41 * 22);
    // The small one is the whole drawing at half the size: the bar, 20 points long, ends at
    // pixel 20 there rather than at 40.
    EXPECT_EQ(pixmaps.at(0).bytes.left(4), bytes({255, 255, 92, 31}));
    EXPECT_EQ(pixmaps.at(0).bytes.mid(4 * 30, 4), bytes({0, 0, 0, 0}));
    EXPECT_TRUE(iconPixmaps(QImage(), QSize(41, 22)).isEmpty());
    EXPECT_TRUE(iconPixmaps(image, QSize()).isEmpty());
}

}  // namespace
}  // namespace brimlet

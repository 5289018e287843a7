// Draws the launcher icons at build time with the tray's own renderer, so the icon a launcher
// shows is the gauge itself and follows every change to its geometry and colours.
//
//   brimlet_launcher_icons <folder> <size>...   writes <folder>/<size>.png for each size

#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdio>

#include "ui/GaugeRenderer.h"

namespace {

using brimlet::GaugeRenderer;

// A sample moment: some of each quota used, both models idle.
GaugeRenderer sampleGauge() {
    GaugeRenderer gauge;
    gauge.buckets = {{QStringLiteral("session"), 35, std::nullopt},
                     {QStringLiteral("weekly"), 60, std::nullopt},
                     {QStringLiteral("scoped"), 20, std::nullopt}};
    return gauge;
}

// The whole gauge, padding included, as wide as the square and centred in its height.
QImage squareIcon(const GaugeRenderer& gauge, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = size / GaugeRenderer::width;
    painter.translate(0, (size - GaugeRenderer::height * scale) / 2);
    painter.scale(scale, scale);
    gauge.draw(painter);
    return image;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fputs("usage: brimlet_launcher_icons <folder> <size>...\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const GaugeRenderer gauge = sampleGauge();
    for (int i = 2; i < argc; ++i) {
        const QString size = QString::fromLocal8Bit(argv[i]);
        const int pixels = size.toInt();
        const QString path = folder + u'/' + size + QStringLiteral(".png");
        if (pixels <= 0 || !squareIcon(gauge, pixels).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

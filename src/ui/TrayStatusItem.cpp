#include "ui/TrayStatusItem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "ui/GaugeRenderer.h"
#include "ui/SquareGauge.h"

namespace brimlet {

QIcon wideTrayPicture(const GaugeFace& face, QSize /*cell*/) {
    return QIcon(QPixmap::fromImage(GaugeRenderer::imageOf(face)));
}

QIcon squareTrayPicture(const GaugeFace& face, QSize cell) {
    // A picture of any other size is scaled into the cell, which blurs it and narrows its gaps.
    constexpr int largestCell = 256;
    QList<int> sizes = squareGauge::pixelSizes();
    if (const int side = std::min(cell.width(), cell.height()); side > 0) {
        sizes = {std::clamp(side, squareGauge::smallestPixels, largestCell)};
    }
    QIcon icon;
    for (const int pixels : sizes) {
        icon.addPixmap(QPixmap::fromImage(squareGauge::image(face, pixels)));
    }
    return icon;
}

TrayStatusItem::TrayStatusItem(double length, Picture picture, LeftClick leftClick,
                               RecordsMenu::Look look)
    : length_(length),
      picture_(std::move(picture)),
      leftClick_(leftClick),
      menu_([this] { return currentMenu(); }, [this](MenuAction action) { runAction(action); },
            look) {
    icon_.setContextMenu(&menu_);
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayStatusItem::activated);
}

TrayStatusItem::~TrayStatusItem() = default;

// The icon shows with its first picture: a tray icon without one is refused with a warning.
void TrayStatusItem::setGauge(const GaugeFace& face) {
    if (face == face_) {
        return;
    }
    face_ = face;
    icon_.setIcon(picture_(face, icon_.geometry().size()));
    icon_.show();
}

Placement TrayStatusItem::placement() const {
    const QRectF window = icon_.geometry();
    const auto* const screen =
        window.isEmpty() ? nullptr : QGuiApplication::screenAt(window.center().toPoint());
    return {length_, icon_.isVisible(), window, screen ? QRectF(screen->geometry()) : QRectF()};
}

void TrayStatusItem::activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && leftClick_ == LeftClick::PopUpMenu) {
        menu_.popup(QCursor::pos());
    }
}

}  // namespace brimlet

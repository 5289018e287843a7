#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>

#include "ui/RecordsMenu.h"
#include "ui/StatusItem.h"

namespace brimlet {

// Qt's tray icon with the menu records as its context menu: the status item of macOS (a real
// NSStatusItem, whose click opens the menu) and, on Linux, the face shown in XEmbed trays, where a
// left click pops the same menu up too. Plain Qt, so it is built and tested on every platform.
class TrayStatusItem final : public QObject, public StatusItem {
    Q_OBJECT

  public:
    // Draws the icon for a face, for a cell of `cell` pixels where the tray has told (else empty).
    using Picture = std::function<QIcon(const GaugeFace& face, QSize cell)>;
    enum class LeftClick { HostOpensMenu, PopUpMenu };

    TrayStatusItem(double length, Picture picture, LeftClick leftClick, RecordsMenu::Look look);
    ~TrayStatusItem() override;

    void setGauge(const GaugeFace& face) override;
    [[nodiscard]] Placement placement() const override;

  private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    double length_;
    Picture picture_;
    LeftClick leftClick_;
    std::optional<GaugeFace> face_;
    RecordsMenu menu_;
    QSystemTrayIcon icon_;  // after the menu: it must go first, as it shows the menu
};

// The 41 x 22 point gauge, drawn at twice its size for dense screens, whatever the cell.
[[nodiscard]] QIcon wideTrayPicture(const GaugeFace& face, QSize cell);
// The square gauge: only at the size of a known cell, laid out for it (while the dots pulse this
// runs at every step), else at each of its offered sizes.
[[nodiscard]] QIcon squareTrayPicture(const GaugeFace& face, QSize cell);

}  // namespace brimlet

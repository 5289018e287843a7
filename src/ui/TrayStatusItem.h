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
    // Draws the icon for a face.
    using Picture = std::function<QIcon(const GaugeFace&)>;
    enum class LeftClick { HostOpensMenu, PopUpMenu };

    TrayStatusItem(double length, Picture picture, LeftClick leftClick);
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

// The 41 x 22 point gauge, drawn at twice its size for dense screens.
[[nodiscard]] QIcon wideTrayPicture(const GaugeFace& face);
// The square gauge at each of its pixel sizes.
[[nodiscard]] QIcon squareTrayPicture(const GaugeFace& face);

}  // namespace brimlet

#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

#include "ui/StatusItem.h"
#include "ui/sni/TrayFaceChooser.h"

namespace brimlet {

class StatusNotifierItem;
class TrayStatusItem;

// The status item of Linux desktops: our StatusNotifierItem, exported and kept registered for
// the whole run, and, while no StatusNotifierWatcher is on the bus of an X11 session, Qt's tray
// icon as a stand-in for XEmbed trays, showing the square gauge and the same menu. Exactly one of
// the two is shown (TrayFaceChooser); the other draws nothing. When the bus connection drops, no
// tray host can ever show our item again: on X11 the stand-in takes over for good, elsewhere the
// program ends with a message rather than run on with no face.
class LinuxStatusItem final : public QObject, public StatusItem {
    Q_OBJECT

  public:
    // `x11`: the display is X11, where XEmbed trays exist.
    LinuxStatusItem(double length, const QDBusConnection& connection, bool x11);
    ~LinuxStatusItem() override;

    void setGauge(const GaugeFace& face) override;
    void menuMayHaveChanged() override;
    [[nodiscard]] Placement placement() const override;

  private:
    void choose();

    double length_;
    bool x11_;
    std::unique_ptr<StatusNotifierItem> statusNotifier_;
    std::unique_ptr<TrayStatusItem> xembed_;  // only while it is the face shown
    std::optional<GaugeFace> face_;
    QElapsedTimer clock_;
    TrayFaceChooser chooser_;
    QTimer recheck_;
};

}  // namespace brimlet

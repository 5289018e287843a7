#pragma once

#include <QRectF>
#include <functional>
#include <memory>

#include "ui/GaugeFace.h"
#include "ui/MenuItem.h"

namespace brimlet {

// Where the status item sits, for the --debug dump; zero rectangles where the platform cannot tell.
struct Placement {
    double length = -1;
    bool visible = false;
    QRectF window;
    QRectF screen;
};

// The gauge's place in the desktop's status area and the menu that drops from it. One per
// process, used on the main thread only. The menu is data: it is asked for right before it shows.
class StatusItem {
  public:
    virtual ~StatusItem() = default;

    // What the gauge shows now; the item draws the pictures its host needs, and only when the
    // face changed, since this is called at every animation step while a dot pulses.
    virtual void setGauge(const GaugeFace& face) = 0;
    // The menu's rows may have changed (new data arrived). Items whose hosts keep a copy of the
    // menu compare and tell them; others build the menu when it opens and ignore this.
    virtual void menuMayHaveChanged() {}
    [[nodiscard]] virtual Placement placement() const = 0;

    std::function<MenuItems()> menuNeedsUpdate;  // called right before the menu shows
    std::function<void(MenuAction)> onAction;    // an enabled row with an action was chosen

  protected:
    StatusItem() = default;
    // The rows to show now; none when nobody supplies them yet.
    [[nodiscard]] MenuItems currentMenu() const {
        return menuNeedsUpdate ? menuNeedsUpdate() : MenuItems{};
    }
    void runAction(MenuAction action) const {
        if (onAction) {
            onAction(action);
        }
    }
};

// Makes the status item, `length` points wide, once the application has launched.
using StatusItemFactory = std::function<std::unique_ptr<StatusItem>(double length)>;

// The platform's status item. One file per platform defines it, in the library of that
// platform's item, so that the rest of the interface never depends on it.
[[nodiscard]] std::unique_ptr<StatusItem> createStatusItem(double length);

}  // namespace brimlet

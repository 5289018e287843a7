#pragma once

#include <QDBusObjectPath>
#include <QObject>

#include "ui/sni/DBusTypes.h"

namespace brimlet {

class StatusNotifierItem;

// The org.kde.StatusNotifierItem interface of our item. Property and method names are the
// protocol's; values come from the item. The properties we do not use are present and empty, as
// some hosts read every one and fail on a missing property (GNOME's extension logs an error at
// every icon update without the accessible descriptions).
class StatusNotifierItemAdaptor : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Id READ id CONSTANT)
    Q_PROPERTY(QString Title READ title CONSTANT)
    Q_PROPERTY(QString Category READ category CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(int WindowId READ windowId CONSTANT)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu CONSTANT)
    Q_PROPERTY(QDBusObjectPath Menu READ menu CONSTANT)
    Q_PROPERTY(QList<brimlet::IconPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString IconName READ noName CONSTANT)
    Q_PROPERTY(QString IconThemePath READ noName CONSTANT)
    Q_PROPERTY(QString OverlayIconName READ noName CONSTANT)
    Q_PROPERTY(QList<brimlet::IconPixmap> OverlayIconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString AttentionIconName READ noName CONSTANT)
    Q_PROPERTY(QList<brimlet::IconPixmap> AttentionIconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString AttentionMovieName READ noName CONSTANT)
    Q_PROPERTY(brimlet::ToolTip ToolTip READ toolTip)
    Q_PROPERTY(QString IconAccessibleDesc READ accessibleDesc)
    Q_PROPERTY(QString AttentionAccessibleDesc READ accessibleDesc)

  public:
    // Lives as a child of `item`.
    explicit StatusNotifierItemAdaptor(StatusNotifierItem& item);

    [[nodiscard]] QString id() const;
    [[nodiscard]] QString title() const;
    [[nodiscard]] QString category() const;
    [[nodiscard]] QString status() const;
    [[nodiscard]] static int windowId() { return 0; }
    [[nodiscard]] static bool itemIsMenu() { return true; }
    [[nodiscard]] QDBusObjectPath menu() const;
    [[nodiscard]] IconPixmapList iconPixmap() const;
    [[nodiscard]] static QString noName() { return {}; }
    [[nodiscard]] static IconPixmapList noPixmaps() { return {}; }
    // Title "Brimlet" over the menu's quota and activity rows.
    [[nodiscard]] ToolTip toolTip() const;
    // The same rows, for screen readers.
    [[nodiscard]] QString accessibleDesc() const;

  public Q_SLOTS:
    // The menu is the item's whole face and most hosts open it themselves (ItemIsMenu). Hosts
    // that forward a click anyway (Plasma, LXQt) get it popped up where they were clicked; other
    // clicks and scrolls are accepted and have no effect.
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

  Q_SIGNALS:
    void NewIcon();
    void NewToolTip();

  private:
    StatusNotifierItem& item_;
};

}  // namespace brimlet

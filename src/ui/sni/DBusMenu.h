#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "ui/MenuItem.h"
#include "ui/sni/DBusTypes.h"

namespace brimlet {

// The state of the menu exported over com.canonical.dbusmenu: the records last asked for and their
// layout revision. The records are asked for when a host is about to show the menu, and once on
// the first layout request of a host that never says so. Choices are carried out after the D-Bus
// reply has gone out, since an action may quit the program or open a modal dialog.
class DBusMenu : public QObject {
    Q_OBJECT

  public:
    using Source = std::function<MenuItems()>;
    using Sink = std::function<void(MenuAction)>;

    DBusMenu(Source source, Sink sink, QObject* parent = nullptr);

    // The root rebuilds and answers true (a new layout is ready); rows have no submenus to update.
    bool aboutToShow(int id);
    // The ids whose layout changed; ids that name nothing are added to `idErrors`.
    [[nodiscard]] QList<int> aboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);
    // A "clicked" event on a choosable row queues its action; other events and ids do nothing.
    void handleEvent(int id, const QString& eventId);
    // Handles each event as handleEvent() does and answers the ids that name nothing.
    [[nodiscard]] QList<int> eventGroup(const DBusMenuEventList& events);

    [[nodiscard]] std::optional<DBusMenuLayoutItem> layout(int parentId, int recursionDepth,
                                                           const QStringList& names);
    [[nodiscard]] DBusMenuItemList groupProperties(const QList<int>& ids, const QStringList& names);
    [[nodiscard]] std::optional<QVariant> property(int id, const QString& name);
    [[nodiscard]] uint revision() const { return revision_; }

  Q_SIGNALS:
    void layoutUpdated(uint revision, int parentId);

  private:
    void rebuild();
    [[nodiscard]] const MenuItems& items();
    [[nodiscard]] bool knows(int id);

    Source source_;
    Sink sink_;
    MenuItems items_;
    uint revision_ = 0;  // 0 until the first build
};

}  // namespace brimlet

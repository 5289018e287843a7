#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "ui/MenuItem.h"
#include "ui/sni/DBusTypes.h"
#include "ui/sni/MenuLayout.h"

namespace brimlet {

// The state of the menu exported over com.canonical.dbusmenu: the records hosts see and their
// layout revision. The records are read again when a host is about to show the menu, when the
// owner says new data arrived, and on the first layout request of a host that never says either.
// Each real change moves the revision at once; the announcement to hosts that keep a copy of the
// menu (ItemsPropertiesUpdated with the rows' changed properties, then LayoutUpdated) goes out at
// most once a second while a host says it shows the menu or is about to show it, or when rows
// came or went, and at most once a minute for changed texts while no host shows it; a host
// about to show it is also answered that it needs an update while one is waiting, and told.
// Choices are carried out after the D-Bus reply has gone out, since an action may quit the
// program or open a modal dialog.
class DBusMenu : public QObject {
    Q_OBJECT

  public:
    using Source = std::function<MenuItems()>;
    using Sink = std::function<void(MenuAction)>;

    DBusMenu(Source source, Sink sink, QObject* parent = nullptr);

    // Reads the records again; a change moves the revision and is announced.
    void refresh();
    // The root reads the records again and answers whether hosts have yet to be told of a change;
    // rows have no submenus.
    bool aboutToShow(int id);
    // The ids whose layout hosts have yet to be told of; ids that name nothing are added to
    // `idErrors`.
    [[nodiscard]] QList<int> aboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);
    // A "clicked" event on a choosable row queues its action; "opened" and "closed" on the root
    // tell shown(); other events and ids do nothing.
    void handleEvent(int id, const QString& eventId);
    // Handles each event as handleEvent() does and answers the ids that name nothing.
    [[nodiscard]] QList<int> eventGroup(const DBusMenuEventList& events);

    [[nodiscard]] std::optional<DBusMenuLayoutItem> layout(int parentId, int recursionDepth,
                                                           const PropertyNames& names);
    [[nodiscard]] DBusMenuItemList groupProperties(const QList<int>& ids,
                                                   const PropertyNames& names);
    [[nodiscard]] std::optional<QVariant> property(int id, const QString& name);
    [[nodiscard]] uint revision() const { return revision_; }
    // The records as hosts see them now.
    [[nodiscard]] const MenuItems& items();

  Q_SIGNALS:
    void itemsPropertiesUpdated(const brimlet::DBusMenuItemList& updated,
                                const brimlet::DBusMenuItemKeysList& removed);
    void layoutUpdated(uint revision, int parentId);
    // The records hosts see changed (before the announcement, which may wait).
    void itemsChanged();
    // A host says it opened (true) or closed the menu.
    void shown(bool open);

  private:
    // Takes the records when they differ; true when they did.
    bool take(MenuItems items);
    [[nodiscard]] bool isUnannounced() const;
    void setOpen(bool open);
    void scheduleAnnouncement();
    void announceSoon();
    void schedule(qint64 every);
    void announce();
    [[nodiscard]] bool knows(int id);

    Source source_;
    Sink sink_;
    MenuItems items_;
    MenuItems announced_;  // the records as hosts were last told of them
    uint revision_ = 0;    // 0 until the first build
    uint announcedRevision_ = 0;
    bool open_ = false;  // a host said it opened the menu and has not said it closed it
    QElapsedTimer lastAnnounced_;
    QTimer announceLater_;
};

}  // namespace brimlet

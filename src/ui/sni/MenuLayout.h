#pragma once

#include <QSet>
#include <QStringList>
#include <QVariant>
#include <optional>

#include "ui/MenuItem.h"
#include "ui/StatusMenu.h"
#include "ui/sni/DBusTypes.h"

// The menu records as com.canonical.dbusmenu nodes. Node 0 is the root; each row is the node its
// record's id names, the same id for the same logical row whatever rows stand before it. Every
// row id of the menu is a node for the life of the program: ids of rows not shown now are hidden
// (visible false), so the layout keeps one shape.
namespace brimlet {

// The row a node id names; none for the root and for ids no record has.
[[nodiscard]] std::optional<qsizetype> menuRow(const MenuItems& items, int id);

// A row's text as a dbusmenu label: there an underscore marks the access key, so literal
// underscores are doubled.
[[nodiscard]] QString menuLabel(const QString& text);

// The property names a host asks for; none asks for all of them. A set, since a caller on the bus
// may name many and each property is looked up in it.
using PropertyNames = QSet<QString>;

// The properties of node `id` (the root included), only those in `names` unless it is empty;
// none for an id that is no node. Values the protocol defaults to (type "standard", enabled) are
// left out, as hosts assume them; `visible` is always there. Rows carry no shortcut: a tray menu's
// shortcut works nowhere, and hosts without a key table of their own (waybar's) log an error for
// each one.
[[nodiscard]] std::optional<QVariantMap> menuNodeProperties(const MenuItems& items, int id,
                                                            const PropertyNames& names = {});

// GetLayout's answer for `parentId`: that node and its children down to `recursionDepth` levels
// (-1 all, 0 none); none for an unknown id. Rows have no children of their own.
[[nodiscard]] std::optional<DBusMenuLayoutItem> menuLayout(const MenuItems& items, int parentId,
                                                           int recursionDepth,
                                                           const PropertyNames& names = {});

// GetGroupProperties' answer: each known id once, in the order first asked; unknown ones left out.
// However often a caller repeats an id, the answer holds at most one node per id.
[[nodiscard]] DBusMenuItemList menuGroupProperties(const MenuItems& items, const QList<int>& ids,
                                                   const PropertyNames& names = {});

// What ItemsPropertiesUpdated tells hosts that keep their copy of the rows (GNOME's re-reads only
// the layout's structure): for each node, the properties that changed and the ones it lost, never
// its kind (an id never changes kind, and the layout has told it).
struct MenuPropertyChanges {
    DBusMenuItemList updated;
    DBusMenuItemKeysList removed;
};
[[nodiscard]] MenuPropertyChanges menuPropertyChanges(const MenuItems& before,
                                                      const MenuItems& after);

}  // namespace brimlet

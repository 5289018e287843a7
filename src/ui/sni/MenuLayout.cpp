#include "ui/sni/MenuLayout.h"

#include <algorithm>

namespace brimlet {

namespace {

constexpr int rootId = 0;

QVariantMap rowProperties(const MenuItem& item) {
    if (item.separator) {
        return {{QStringLiteral("type"), QStringLiteral("separator")}};
    }
    QVariantMap properties{{QStringLiteral("label"), menuLabel(item.text)}};
    if (!item.enabled) {
        properties.insert(QStringLiteral("enabled"), false);
    }
    if (item.checked) {
        properties.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
        properties.insert(QStringLiteral("toggle-state"), *item.checked ? 1 : 0);
    }
    return properties;
}

// What makes a row the kind it is. An id never changes kind, so these go out with the layout only:
// a host that reads them in an update (LXQt's) warns that it cannot apply them.
bool isKind(const QString& name) {
    return name == QLatin1String("type") || name == QLatin1String("toggle-type");
}

// A node as hosts see it: every id of the menu is always there, the rows not shown now hidden, so
// that the layout never changes shape. GNOME's extension misplaced a row added beside one taken
// away, and hosts that cache a layout only ever see properties change. `visible` is always told:
// a layout read again does not take back a property it no longer names.
std::optional<QVariantMap> nodeProperties(const MenuItems& items, int id) {
    if (const auto row = menuRow(items, id)) {
        auto properties = rowProperties(items.at(*row));
        properties.insert(QStringLiteral("visible"), true);
        return properties;
    }
    if (isMenuRowId(id)) {
        return QVariantMap{{QStringLiteral("visible"), false}};
    }
    return std::nullopt;
}

QVariantMap rootProperties() {
    return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
}

QVariantMap onlyNamed(QVariantMap properties, const PropertyNames& names) {
    if (!names.isEmpty()) {
        properties.removeIf([&names](const auto& entry) { return !names.contains(entry.key()); });
    }
    return properties;
}

}  // namespace

std::optional<qsizetype> menuRow(const MenuItems& items, int id) {
    if (id <= rootId) {
        return std::nullopt;
    }
    const auto row = std::find_if(items.begin(), items.end(),
                                  [id](const MenuItem& item) { return item.id == id; });
    return row == items.end() ? std::nullopt : std::optional<qsizetype>(row - items.begin());
}

QString menuLabel(const QString& text) {
    auto label = text;
    return label.replace(u'_', QStringLiteral("__"));
}

std::optional<QVariantMap> menuNodeProperties(const MenuItems& items, int id,
                                              const PropertyNames& names) {
    if (id == rootId) {
        return onlyNamed(rootProperties(), names);
    }
    const auto properties = nodeProperties(items, id);
    if (!properties) {
        return std::nullopt;
    }
    return onlyNamed(*properties, names);
}

std::optional<DBusMenuLayoutItem> menuLayout(const MenuItems& items, int parentId,
                                             int recursionDepth, const PropertyNames& names) {
    const auto properties = menuNodeProperties(items, parentId, names);
    if (!properties) {
        return std::nullopt;
    }
    DBusMenuLayoutItem layout{parentId, *properties, {}};
    if (parentId == rootId && recursionDepth != 0) {
        for (int id = 1; id <= menuRowId::last; ++id) {
            layout.children.append({id, onlyNamed(*nodeProperties(items, id), names), {}});
        }
    }
    return layout;
}

DBusMenuItemList menuGroupProperties(const MenuItems& items, const QList<int>& ids,
                                     const PropertyNames& names) {
    DBusMenuItemList answer;
    QSet<int> answered;
    for (const auto id : ids) {
        if (answered.contains(id)) {
            continue;
        }
        answered.insert(id);
        if (const auto properties = menuNodeProperties(items, id, names)) {
            answer.append({id, *properties});
        }
    }
    return answer;
}

MenuPropertyChanges menuPropertyChanges(const MenuItems& before, const MenuItems& after) {
    MenuPropertyChanges changes;
    for (int id = 1; id <= menuRowId::last; ++id) {
        // A hidden row loses its properties and a row shown again is told whole (but its kind), so
        // that what a host holds for the id is never what it showed before.
        const QVariantMap old = *nodeProperties(before, id);
        const QVariantMap now = *nodeProperties(after, id);
        QVariantMap changed = now;
        changed.removeIf([&old](const auto& entry) {
            return isKind(entry.key()) || old.value(entry.key()) == entry.value();
        });
        QStringList lost = old.keys();
        lost.removeIf([&now](const QString& name) { return isKind(name) || now.contains(name); });
        if (!changed.isEmpty()) {
            changes.updated.append({id, changed});
        }
        if (!lost.isEmpty()) {
            changes.removed.append({id, lost});
        }
    }
    return changes;
}

}  // namespace brimlet

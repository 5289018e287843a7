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
    const auto row = menuRow(items, id);
    if (!row) {
        return std::nullopt;
    }
    return onlyNamed(rowProperties(items.at(*row)), names);
}

std::optional<DBusMenuLayoutItem> menuLayout(const MenuItems& items, int parentId,
                                             int recursionDepth, const PropertyNames& names) {
    const auto properties = menuNodeProperties(items, parentId, names);
    if (!properties) {
        return std::nullopt;
    }
    DBusMenuLayoutItem layout{parentId, *properties, {}};
    if (parentId == rootId && recursionDepth != 0) {
        for (const MenuItem& item : items) {
            layout.children.append({item.id, onlyNamed(rowProperties(item), names), {}});
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
    for (const MenuItem& item : after) {
        // A row that comes (back) is told whole: a host that saw its id before may still hold
        // what it showed then.
        const auto earlier = menuRow(before, item.id);
        const QVariantMap old = earlier ? rowProperties(before.at(*earlier)) : QVariantMap();
        const QVariantMap now = rowProperties(item);
        QVariantMap changed = now;
        changed.removeIf([&old](const auto& entry) {
            return isKind(entry.key()) || old.value(entry.key()) == entry.value();
        });
        QStringList lost = old.keys();
        lost.removeIf([&now](const QString& name) { return isKind(name) || now.contains(name); });
        if (!changed.isEmpty()) {
            changes.updated.append({item.id, changed});
        }
        if (!lost.isEmpty()) {
            changes.removed.append({item.id, lost});
        }
    }
    return changes;
}

}  // namespace brimlet

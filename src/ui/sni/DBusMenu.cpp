#include "ui/sni/DBusMenu.h"

#include "ui/sni/MenuLayout.h"

namespace brimlet {

namespace {
constexpr int rootId = 0;
}

DBusMenu::DBusMenu(Source source, Sink sink, QObject* parent)
    : QObject(parent), source_(std::move(source)), sink_(std::move(sink)) {}

bool DBusMenu::aboutToShow(int id) {
    if (id != rootId) {
        return false;
    }
    rebuild();
    return true;
}

QList<int> DBusMenu::aboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    QList<int> updated;
    for (const auto id : ids) {
        if (!knows(id)) {
            idErrors.append(id);
        } else if (id == rootId && !updated.contains(id)) {
            rebuild();
            updated.append(id);
        }
    }
    return updated;
}

void DBusMenu::handleEvent(int id, const QString& eventId) {
    if (eventId != QLatin1String("clicked")) {
        return;
    }
    const auto row = menuRow(items(), id);
    if (!row || !items_.at(*row).choosable()) {
        return;
    }
    const auto action = items_.at(*row).action;
    QMetaObject::invokeMethod(
        this, [this, action] { sink_(action); }, Qt::QueuedConnection);
}

QList<int> DBusMenu::eventGroup(const DBusMenuEventList& events) {
    QList<int> idErrors;
    for (const auto& event : events) {
        if (knows(event.id)) {
            handleEvent(event.id, event.eventId);
        } else {
            idErrors.append(event.id);
        }
    }
    return idErrors;
}

std::optional<DBusMenuLayoutItem> DBusMenu::layout(int parentId, int recursionDepth,
                                                   const QStringList& names) {
    return menuLayout(items(), parentId, recursionDepth, names);
}

DBusMenuItemList DBusMenu::groupProperties(const QList<int>& ids, const QStringList& names) {
    return menuGroupProperties(items(), ids, names);
}

std::optional<QVariant> DBusMenu::property(int id, const QString& name) {
    const auto properties = menuNodeProperties(items(), id, {name});
    if (!properties || !properties->contains(name)) {
        return std::nullopt;
    }
    return properties->value(name);
}

void DBusMenu::rebuild() {
    items_ = source_();
    ++revision_;
    Q_EMIT layoutUpdated(revision_, rootId);
}

const MenuItems& DBusMenu::items() {
    if (revision_ == 0) {
        rebuild();
    }
    return items_;
}

bool DBusMenu::knows(int id) {
    return id == rootId || menuRow(items(), id).has_value();
}

}  // namespace brimlet

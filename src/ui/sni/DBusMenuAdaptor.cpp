#include "ui/sni/DBusMenuAdaptor.h"

#include <algorithm>

#include "ui/sni/DBusMenu.h"

namespace brimlet {

DBusMenuAdaptor::DBusMenuAdaptor(DBusMenu& menu) : QObject(&menu), menu_(menu) {
    connect(&menu_, &DBusMenu::itemsPropertiesUpdated, this,
            &DBusMenuAdaptor::ItemsPropertiesUpdated);
    connect(&menu_, &DBusMenu::layoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
}

bool DBusMenuAdaptor::AboutToShow(int id) {
    return menu_.aboutToShow(id);
}

QList<int> DBusMenuAdaptor::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    if (refuseLongList(ids.size())) {
        return {};
    }
    return menu_.aboutToShowGroup(ids, idErrors);
}

void DBusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant& /*data*/,
                            uint /*timestamp*/) {
    menu_.handleEvent(id, eventId);
}

QList<int> DBusMenuAdaptor::EventGroup(const QList<DBusMenuEvent>& events) {
    if (refuseLongList(events.size())) {
        return {};
    }
    return menu_.eventGroup(events);
}

QList<DBusMenuItem> DBusMenuAdaptor::GetGroupProperties(const QList<int>& ids,
                                                        const QStringList& propertyNames) {
    if (refuseLongList(std::max(ids.size(), propertyNames.size()))) {
        return {};
    }
    return menu_.groupProperties(ids, PropertyNames(propertyNames.cbegin(), propertyNames.cend()));
}

uint DBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                DBusMenuLayoutItem& layout) {
    if (refuseLongList(propertyNames.size())) {
        return 0;
    }
    // The layout first: a first request builds the menu, which moves the revision.
    const auto found = menu_.layout(parentId, recursionDepth,
                                    PropertyNames(propertyNames.cbegin(), propertyNames.cend()));
    if (!found) {
        sendUnknownId(parentId);
        return 0;
    }
    layout = *found;
    return menu_.revision();
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString& name) {
    const auto value = menu_.property(id, name);
    if (!value) {
        sendUnknownId(id);
        // Never marshalled: the error reply above replaces the answer.
        return QDBusVariant(QVariant(0));
    }
    return QDBusVariant(*value);
}

bool DBusMenuAdaptor::refuseLongList(qsizetype entries) {
    if (entries <= maxListEntries) {
        return false;
    }
    sendErrorReply(QDBusError::LimitsExceeded,
                   QStringLiteral("At most %1 entries in a list").arg(maxListEntries));
    return true;
}

void DBusMenuAdaptor::sendUnknownId(int id) {
    sendErrorReply(QDBusError::InvalidArgs,
                   QStringLiteral("No menu item or property for id %1").arg(id));
}

}  // namespace brimlet

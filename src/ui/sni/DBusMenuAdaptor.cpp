#include "ui/sni/DBusMenuAdaptor.h"

#include <QDBusConnection>

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

void DBusMenuAdaptor::AboutToShowGroup(const QDBusMessage& message) {
    if (const auto ids = leadingList<int>(message, QStringLiteral("ai"))) {
        QList<int> idErrors;
        const QList<int> updates = menu_.aboutToShowGroup(*ids, idErrors);
        reply(message, {QVariant::fromValue(updates), QVariant::fromValue(idErrors)});
    }
}

void DBusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant& /*data*/,
                            uint /*timestamp*/) {
    menu_.handleEvent(id, eventId);
}

void DBusMenuAdaptor::EventGroup(const QDBusMessage& message) {
    if (const auto events = leadingList<DBusMenuEvent>(message, QStringLiteral("a(isvu)"))) {
        reply(message, {QVariant::fromValue(menu_.eventGroup(*events))});
    }
}

void DBusMenuAdaptor::GetGroupProperties(const QDBusMessage& message) {
    const auto ids = leadingList<int>(message, QStringLiteral("aias"));
    if (!ids) {
        return;
    }
    const QStringList names = message.arguments().value(1).toStringList();
    if (!refuseLongList(names.size())) {
        const auto rows = menu_.groupProperties(*ids, PropertyNames(names.cbegin(), names.cend()));
        reply(message, {QVariant::fromValue(rows)});
    }
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

template <typename Entry>
std::optional<QList<Entry>> DBusMenuAdaptor::leadingList(const QDBusMessage& message,
                                                         const QString& signature) {
    if (message.signature() != signature) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Expected (%1)").arg(signature));
        return std::nullopt;
    }
    const auto array = qvariant_cast<QDBusArgument>(message.arguments().value(0));
    QList<Entry> entries;
    array.beginArray();
    while (!array.atEnd() && entries.size() <= maxListEntries) {  // the rest stays unread
        Entry entry;
        array >> entry;
        entries.append(entry);
    }
    array.endArray();  // also when stopped early: it frees what beginArray() took
    if (refuseLongList(entries.size())) {
        return std::nullopt;
    }
    return entries;
}

void DBusMenuAdaptor::reply(const QDBusMessage& message, const QVariantList& values) {
    message.setDelayedReply(true);
    connection().send(message.createReply(values));
}

void DBusMenuAdaptor::sendUnknownId(int id) {
    sendErrorReply(QDBusError::InvalidArgs,
                   QStringLiteral("No menu item or property for id %1").arg(id));
}

}  // namespace brimlet

#include "support/StatusItemClient.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>

#include "support/WaitUntil.h"

namespace brimlet::test {

namespace {

const auto itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const auto menuInterface = QStringLiteral("com.canonical.dbusmenu");
const auto itemPath = QStringLiteral("/StatusNotifierItem");
const auto menuPath = QStringLiteral("/MenuBar");  // the item's Menu: the end-to-end test reads it

}  // namespace

StatusItemClient::StatusItemClient(const QDBusConnection& connection, QString service)
    : connection_(connection), service_(std::move(service)) {
    clock_.start();
    registerDBusTypes();
    connection_.connect(service_, {}, itemInterface, QStringLiteral("NewIcon"), this,
                        SLOT(countNewIcon()));
    connection_.connect(service_, {}, itemInterface, QStringLiteral("NewToolTip"), this,
                        SLOT(countNewToolTip()));
    connection_.connect(service_, {}, menuInterface, QStringLiteral("LayoutUpdated"), this,
                        SLOT(recordLayoutUpdate(uint, int)));
    connection_.connect(service_, {}, menuInterface, QStringLiteral("ItemsPropertiesUpdated"), this,
                        SLOT(recordPropertiesUpdate(QDBusMessage)));
    // A round trip to the bus daemon, which handles our messages in order: once it answers, the
    // match rules above are in force and no signal sent afterwards is missed.
    (void)connection_.interface()->serviceOwner(service_);
}

QVariant StatusItemClient::itemProperty(const QString& name) {
    return property(itemPath, itemInterface, name);
}

QVariant StatusItemClient::menuProperty(const QString& name) {
    return property(menuPath, menuInterface, name);
}

MenuSnapshot StatusItemClient::menu() {
    const auto reply = callMenu(QStringLiteral("GetLayout"), {0, -1, QStringList()});
    if (!reply || reply->type() != QDBusMessage::ReplyMessage) {
        return {};
    }
    MenuSnapshot snapshot{reply->arguments().value(0).toUInt(), {}, {}};
    const auto root = qdbus_cast<DBusMenuLayoutItem>(reply->arguments().value(1));
    for (const auto& row : root.children) {
        const bool separator =
            row.properties.value(QStringLiteral("type")).toString() == u"separator";
        snapshot.rows.append({row.id, row.properties});
        if (!row.properties.value(QStringLiteral("visible"), true).toBool()) {
            continue;  // as hosts show it
        }
        snapshot.labels.append(separator
                                   ? QStringLiteral("---")
                                   : row.properties.value(QStringLiteral("label")).toString());
    }
    return snapshot;
}

bool StatusItemClient::event(int id, const QString& name) {
    const auto reply = callMenu(QStringLiteral("Event"),
                                {id, name, QVariant::fromValue(QDBusVariant(QString())), 0u});
    return reply && reply->type() == QDBusMessage::ReplyMessage;
}

std::optional<QDBusMessage> StatusItemClient::callMenu(const QString& method,
                                                       const QVariantList& arguments) {
    return call(menuPath, menuInterface, method, arguments);
}

bool StatusItemClient::callItem(const QString& method, const QVariantList& arguments) {
    const auto reply = call(itemPath, itemInterface, method, arguments);
    return reply && reply->type() == QDBusMessage::ReplyMessage;
}

void StatusItemClient::countNewIcon() {
    ++newIcons_;
}

void StatusItemClient::countNewToolTip() {
    ++newToolTips_;
}

void StatusItemClient::recordPropertiesUpdate(const QDBusMessage& message) {
    for (const auto& node : qdbus_cast<DBusMenuItemList>(message.arguments().value(0))) {
        for (auto [name, value] : node.properties.asKeyValueRange()) {
            updatedNames_.insert(name);
            if (learnt_.contains(node.id)) {
                learnt_[node.id].insert(name, value);
            }
        }
    }
    for (const auto& node : qdbus_cast<DBusMenuItemKeysList>(message.arguments().value(1))) {
        for (const QString& name : node.names) {
            updatedNames_.insert(name);
            learnt_[node.id].remove(name);
        }
    }
}

MenuSnapshot::Rows StatusItemClient::learnt(const MenuSnapshot::Rows& fresh) {
    MenuSnapshot::Rows cached;
    for (const auto& [id, properties] : fresh) {
        cached.append({id, learnt_.contains(id) ? learnt_[id] : learnt_[id] = properties});
    }
    return cached;
}

void StatusItemClient::recordLayoutUpdate(uint revision, int /*parent*/) {
    layoutUpdates_.append({revision, clock_.elapsed()});
}

std::optional<QDBusMessage> StatusItemClient::call(const QString& path, const QString& interface,
                                                   const QString& method,
                                                   const QVariantList& arguments) {
    auto message = QDBusMessage::createMethodCall(service_, path, interface, method);
    message.setArguments(arguments);
    const auto pending = connection_.asyncCall(message);
    if (!waitUntil([&pending] { return pending.isFinished(); })) {
        return std::nullopt;
    }
    return pending.reply();
}

QVariant StatusItemClient::property(const QString& path, const QString& interface,
                                    const QString& name) {
    const auto reply = call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("Get"), {interface, name});
    if (!reply || reply->type() != QDBusMessage::ReplyMessage) {
        return {};
    }
    return qvariant_cast<QDBusVariant>(reply->arguments().value(0)).variant();
}

}  // namespace brimlet::test

#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The compound D-Bus types of the StatusNotifierItem and com.canonical.dbusmenu protocols, with
// their wire signatures. Plain values; registerDBusTypes() makes them known to QtDBus.
namespace brimlet {

// (iiay): one icon bitmap, ARGB32 pixels in network byte order (A, R, G, B per pixel).
struct IconPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
    friend bool operator==(const IconPixmap&, const IconPixmap&) = default;
};
using IconPixmapList = QList<IconPixmap>;  // a(iiay)

// (sa(iiay)ss): icon name, icon bitmaps, title, descriptive text.
struct ToolTip {
    QString iconName;
    IconPixmapList iconPixmaps;
    QString title;
    QString text;
};

// (ia{sv}av): one menu node with its properties and its children, each wrapped in a variant.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (ia{sv}): one node's properties, as GetGroupProperties answers them.
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;  // a(ia{sv})

// (ias): the names of the properties one node lost, as ItemsPropertiesUpdated reports them.
struct DBusMenuItemKeys {
    int id = 0;
    QStringList names;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;  // a(ias)

// (isvu): one event of EventGroup: item id, event name, event data, time stamp.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;  // a(isvu)

QDBusArgument& operator<<(QDBusArgument& argument, const IconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, IconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const ToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, ToolTip& toolTip);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

// Registers the types above (and their lists) with QtDBus; safe to call more than once. Must run
// before an object using them is exported or a reply holding them is read.
void registerDBusTypes();

}  // namespace brimlet

Q_DECLARE_METATYPE(brimlet::IconPixmap)
Q_DECLARE_METATYPE(brimlet::ToolTip)
Q_DECLARE_METATYPE(brimlet::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(brimlet::DBusMenuItem)
Q_DECLARE_METATYPE(brimlet::DBusMenuItemKeys)
Q_DECLARE_METATYPE(brimlet::DBusMenuEvent)

#pragma once

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <optional>

#include "ui/sni/DBusTypes.h"

namespace brimlet {

class DBusMenu;

// The com.canonical.dbusmenu interface of our menu object. Method and property names are the
// protocol's; each call only forwards to the DBusMenu and turns "no such item" into a D-Bus
// error. Exported as the object itself (not a QDBusAbstractAdaptor) so that QDBusContext, which
// carries the calling message for the error reply, belongs to this class and not to the data.
//
// Any program on the session bus may call these, so a list longer than any host sends is refused.
// QtDBus reads a list argument whole before it calls a slot that takes it, which for millions of
// entries holds the main thread for long; the methods taking lists of ids or events therefore take
// the message itself (QtDBus hands it any call of that name), check its signature, read at most one
// entry past the bound and reply themselves. Their parameters then no longer tell QtDBus what to
// introspect, so the interface's description is given whole. String lists are read whole by
// QtDBus for every message, whoever it is for.
class DBusMenuAdaptor : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"com.canonical.dbusmenu\">\n"
                "    <property name=\"Version\" type=\"u\" access=\"read\"/>\n"
                "    <property name=\"TextDirection\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"Status\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"IconThemePath\" type=\"as\" access=\"read\"/>\n"
                "    <method name=\"GetLayout\">\n"
                "      <arg name=\"parentId\" type=\"i\" direction=\"in\"/>\n"
                "      <arg name=\"recursionDepth\" type=\"i\" direction=\"in\"/>\n"
                "      <arg name=\"propertyNames\" type=\"as\" direction=\"in\"/>\n"
                "      <arg name=\"revision\" type=\"u\" direction=\"out\"/>\n"
                "      <arg name=\"layout\" type=\"(ia{sv}av)\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"GetGroupProperties\">\n"
                "      <arg name=\"ids\" type=\"ai\" direction=\"in\"/>\n"
                "      <arg name=\"propertyNames\" type=\"as\" direction=\"in\"/>\n"
                "      <arg name=\"properties\" type=\"a(ia{sv})\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"GetProperty\">\n"
                "      <arg name=\"id\" type=\"i\" direction=\"in\"/>\n"
                "      <arg name=\"name\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"value\" type=\"v\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Event\">\n"
                "      <arg name=\"id\" type=\"i\" direction=\"in\"/>\n"
                "      <arg name=\"eventId\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"data\" type=\"v\" direction=\"in\"/>\n"
                "      <arg name=\"timestamp\" type=\"u\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <method name=\"EventGroup\">\n"
                "      <arg name=\"events\" type=\"a(isvu)\" direction=\"in\"/>\n"
                "      <arg name=\"idErrors\" type=\"ai\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"AboutToShow\">\n"
                "      <arg name=\"id\" type=\"i\" direction=\"in\"/>\n"
                "      <arg name=\"needUpdate\" type=\"b\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"AboutToShowGroup\">\n"
                "      <arg name=\"ids\" type=\"ai\" direction=\"in\"/>\n"
                "      <arg name=\"updatesNeeded\" type=\"ai\" direction=\"out\"/>\n"
                "      <arg name=\"idErrors\" type=\"ai\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <signal name=\"ItemsPropertiesUpdated\">\n"
                "      <arg name=\"updatedProps\" type=\"a(ia{sv})\" direction=\"out\"/>\n"
                "      <arg name=\"removedProps\" type=\"a(ias)\" direction=\"out\"/>\n"
                "    </signal>\n"
                "    <signal name=\"LayoutUpdated\">\n"
                "      <arg name=\"revision\" type=\"u\" direction=\"out\"/>\n"
                "      <arg name=\"parent\" type=\"i\" direction=\"out\"/>\n"
                "    </signal>\n"
                "  </interface>\n")
    Q_PROPERTY(uint Version READ version CONSTANT)
    Q_PROPERTY(QString TextDirection READ textDirection CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath CONSTANT)

  public:
    // Lives as a child of `menu`.
    explicit DBusMenuAdaptor(DBusMenu& menu);

    [[nodiscard]] static uint version() { return 3; }
    [[nodiscard]] static QString textDirection() { return QStringLiteral("ltr"); }
    [[nodiscard]] static QString status() { return QStringLiteral("normal"); }
    [[nodiscard]] static QStringList iconThemePath() { return {}; }

    // The most entries a list argument may hold: a host names a few of our dozen rows and of the
    // protocol's dozen property names.
    static constexpr qsizetype maxListEntries = 1024;

  public Q_SLOTS:
    // QtDBus matches incoming calls against these parameter types by name, and knows the lists
    // by their QList names, not by our aliases.
    bool AboutToShow(int id);
    void AboutToShowGroup(const QDBusMessage& message);  // (ai) → (ai, ai)
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    void EventGroup(const QDBusMessage& message);          // (a(isvu)) → (ai)
    void GetGroupProperties(const QDBusMessage& message);  // (ai, as) → (a(ia{sv}))
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   brimlet::DBusMenuLayoutItem& layout);
    QDBusVariant GetProperty(int id, const QString& name);

  Q_SIGNALS:
    void ItemsPropertiesUpdated(const QList<brimlet::DBusMenuItem>& updatedProps,
                                const QList<brimlet::DBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);

  private:
    void sendUnknownId(int id);
    // Sends the error reply and answers true when a list holds more than maxListEntries.
    [[nodiscard]] bool refuseLongList(qsizetype entries);
    // The list the message's first argument holds, read no further than one entry past the
    // bound; none, with the error reply sent, when the message's signature is not `signature` or
    // the list is longer.
    template <typename Entry>
    [[nodiscard]] std::optional<QList<Entry>> leadingList(const QDBusMessage& message,
                                                          const QString& signature);
    void reply(const QDBusMessage& message, const QVariantList& values);

    DBusMenu& menu_;
};

}  // namespace brimlet

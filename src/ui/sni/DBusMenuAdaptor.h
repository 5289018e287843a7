#pragma once

#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>

#include "ui/sni/DBusTypes.h"

namespace brimlet {

class DBusMenu;

// The com.canonical.dbusmenu interface of our menu object. Method and property names are the
// protocol's; each call only forwards to the DBusMenu and turns "no such item" into a D-Bus
// error. Any program on the session bus may call these, so a list longer than any host sends is
// refused before it is looked at. Exported as the object itself (not a QDBusAbstractAdaptor) so
// that QDBusContext, which carries the calling message for the error reply, belongs to this class
// and not to the data.
class DBusMenuAdaptor : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
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
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const QList<brimlet::DBusMenuEvent>& events);
    QList<brimlet::DBusMenuItem> GetGroupProperties(const QList<int>& ids,
                                                    const QStringList& propertyNames);
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

    DBusMenu& menu_;
};

}  // namespace brimlet

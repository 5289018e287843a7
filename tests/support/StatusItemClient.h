#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <optional>

#include "ui/sni/DBusTypes.h"

namespace brimlet::test {

// One menu node as a tray host reads it from GetLayout, with the protocol's defaults filled in.
struct MenuRow {
    int id = 0;
    QString type = QStringLiteral("standard");
    QString label;
};

struct MenuSnapshot {
    uint revision = 0;
    QList<MenuRow> rows;
};

// Talks to a StatusNotifierItem and its dbusmenu object as a tray host does, and counts the
// signals they send. Every call is asynchronous and waits by running this thread's event loop:
// the item may be served by this very thread through another connection, and a blocking call
// would then wait for an answer that only this thread can give (a deadlock until the time-out).
class StatusItemClient : public QObject {
    Q_OBJECT

  public:
    // `service`: the item's bus name; the item is at /StatusNotifierItem there.
    StatusItemClient(const QDBusConnection& connection, QString service);

    // A property of org.kde.StatusNotifierItem; invalid when it cannot be read.
    [[nodiscard]] QVariant itemProperty(const QString& name);
    [[nodiscard]] IconPixmapList iconPixmaps();
    // A property of the com.canonical.dbusmenu object the item's Menu property names.
    [[nodiscard]] QVariant menuProperty(const QString& name);

    [[nodiscard]] std::optional<bool> aboutToShow(int id = 0);
    // The whole menu, as GetLayout(0, -1, []) answers it.
    [[nodiscard]] std::optional<MenuSnapshot> layout();
    // Event(id, "clicked", "", 0); true when the item answered without an error.
    bool click(int id);
    // Any com.canonical.dbusmenu method; the reply (possibly an error), or none on time-out.
    [[nodiscard]] std::optional<QDBusMessage> callMenu(const QString& method,
                                                       const QVariantList& arguments);
    // Any org.kde.StatusNotifierItem method; true when it answered without an error.
    bool callItem(const QString& method, const QVariantList& arguments);

    [[nodiscard]] int newIconCount() const { return newIcons_; }
    // The LayoutUpdated signals received, in order: the revision and when it came (steady clock).
    struct LayoutUpdate {
        uint revision;
        qint64 atMs;
    };
    [[nodiscard]] const QList<LayoutUpdate>& layoutUpdates() const { return layoutUpdates_; }
    // The labels ItemsPropertiesUpdated has announced, by node id, the latest of each.
    [[nodiscard]] const QMap<int, QString>& updatedLabels() const { return updatedLabels_; }

  private Q_SLOTS:
    void countNewIcon();
    void recordLayoutUpdate(uint revision, int parent);
    void recordPropertiesUpdate(const QDBusMessage& message);

  private:
    [[nodiscard]] std::optional<QDBusMessage> call(const QString& path, const QString& interface,
                                                   const QString& method,
                                                   const QVariantList& arguments);
    [[nodiscard]] QVariant property(const QString& path, const QString& interface,
                                    const QString& name);
    [[nodiscard]] QString menuPath();

    QDBusConnection connection_;
    QString service_;
    int newIcons_ = 0;
    QList<LayoutUpdate> layoutUpdates_;
    QMap<int, QString> updatedLabels_;
    QElapsedTimer clock_;
};

}  // namespace brimlet::test

#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <optional>

#include "ui/sni/DBusTypes.h"

namespace brimlet::test {

// The menu as GetLayout(0, -1, []) gives it: its rows (id, properties) and their labels,
// separators as "---".
struct MenuSnapshot {
    using Rows = QList<std::pair<int, QVariantMap>>;
    uint revision = 0;
    Rows rows;
    QStringList labels;  // of the rows shown
    [[nodiscard]] int idOf(const QString& label) const {
        const auto row = std::find_if(rows.begin(), rows.end(), [&label](const auto& node) {
            return node.second.value(QStringLiteral("label")) == label;
        });
        return row == rows.end() ? 0 : row->first;
    }
};

// Talks to a StatusNotifierItem and its dbusmenu object as a tray host does, and records the
// signals they send. Every call is asynchronous and waits by running this thread's event loop:
// the item may be served by this very thread through another connection, and a blocking call
// would then wait for an answer that only this thread can give (a deadlock until the time-out).
class StatusItemClient : public QObject {
    Q_OBJECT

  public:
    // `service`: the item's bus name; the item is at /StatusNotifierItem there.
    StatusItemClient(const QDBusConnection& connection, QString service);

    // A property of org.kde.StatusNotifierItem, or of its dbusmenu object at /MenuBar; invalid
    // when it cannot be read.
    [[nodiscard]] QVariant itemProperty(const QString& name);
    [[nodiscard]] QVariant menuProperty(const QString& name);
    // Any method of either; the reply (possibly an error), or none on time-out.
    [[nodiscard]] std::optional<QDBusMessage> callMenu(const QString& method,
                                                       const QVariantList& arguments);
    bool callItem(const QString& method, const QVariantList& arguments);

    [[nodiscard]] MenuSnapshot menu();
    // Event(id, name, "", 0); true when the item answered without an error.
    bool event(int id, const QString& name);
    bool click(int id) { return event(id, QStringLiteral("clicked")); }

    [[nodiscard]] int newIconCount() const { return newIcons_; }
    [[nodiscard]] int newToolTipCount() const { return newToolTips_; }
    // The LayoutUpdated signals received, in order: the revision and when it came (steady clock).
    struct LayoutUpdate {
        uint revision;
        qint64 atMs;
    };
    [[nodiscard]] const QList<LayoutUpdate>& layoutUpdates() const { return layoutUpdates_; }
    // The rows of a fresh layout as a host that keeps what it learnt sees them: each id's
    // properties from the layout that first showed it, then changed only by ItemsPropertiesUpdated.
    [[nodiscard]] MenuSnapshot::Rows learnt(const MenuSnapshot::Rows& fresh);
    // Every property name ItemsPropertiesUpdated has named, changed or removed.
    [[nodiscard]] const QSet<QString>& updatedNames() const { return updatedNames_; }

  private Q_SLOTS:
    void countNewIcon();
    void countNewToolTip();
    void recordLayoutUpdate(uint revision, int parent);
    void recordPropertiesUpdate(const QDBusMessage& message);

  private:
    [[nodiscard]] std::optional<QDBusMessage> call(const QString& path, const QString& interface,
                                                   const QString& method,
                                                   const QVariantList& arguments);
    [[nodiscard]] QVariant property(const QString& path, const QString& interface,
                                    const QString& name);

    QDBusConnection connection_;
    QString service_;
    int newIcons_ = 0;
    int newToolTips_ = 0;
    QList<LayoutUpdate> layoutUpdates_;
    QMap<int, QVariantMap> learnt_;
    QSet<QString> updatedNames_;
    QElapsedTimer clock_;
};

}  // namespace brimlet::test

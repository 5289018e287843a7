#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMetaType>
#include <QPainter>

#include "support/FakeStatusWatcher.h"
#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/StatusItemClient.h"
#include "support/WaitUntil.h"
#include "ui/SampleMenu.h"
#include "ui/sni/IconPixmaps.h"
#include "ui/sni/StatusNotifierItem.h"

namespace brimlet {
namespace {

using test::FakeStatusWatcher;
using test::StatusItemClient;
using test::waitUntil;

// The item, a tray host's watcher and a host-side client, each on a connection of its own to a
// private bus, all served by this thread. Registration, the icon's sizes, the menu's texts and
// clicks on its actions are seen through the real program in the end-to-end tests; these look at
// what a host there never does.
class StatusNotifierItemBus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "no dbus-daemon"; }

    // The item, answering with the sample menu and recording what it is asked for.
    std::unique_ptr<StatusNotifierItem> makeItem(const QDBusConnection& connection) {
        auto item = std::make_unique<StatusNotifierItem>(41, connection);
        item->menuNeedsUpdate = [this] {
            ++menuRequests;
            return test::sampleMenu(true);
        };
        item->onAction = [this](MenuAction action) { actions.append(action); };
        return item;
    }
    std::unique_ptr<StatusNotifierItem> makeItem() { return makeItem(itemConnection); }

    [[nodiscard]] std::unique_ptr<StatusItemClient> client() const {
        return std::make_unique<StatusItemClient>(hostConnection, itemConnection.baseService());
    }

    test::PrivateBus bus;
    QDBusConnection itemConnection = bus.connect(QStringLiteral("item"));
    QDBusConnection hostConnection = bus.connect(QStringLiteral("host"));
    FakeStatusWatcher watcher{hostConnection};
    int menuRequests = 0;
    QList<MenuAction> actions;
};

TEST_F(StatusNotifierItemBus, IsVisibleOnlyWhileAWatcherHoldsItsRegistration) {
    const auto item = makeItem();
    ASSERT_TRUE(client()->itemProperty(QStringLiteral("Id")).isValid());  // the item is up
    EXPECT_FALSE(item->placement().visible);
    for (int run = 1; run <= 2; ++run) {
        ASSERT_TRUE(watcher.start());
        EXPECT_TRUE(waitUntil([&] { return item->placement().visible; })) << run;
        EXPECT_EQ(watcher.registeredItems(), QStringList{itemConnection.baseService() +
                                                         QStringLiteral("/StatusNotifierItem")});
        watcher.stop();
        EXPECT_TRUE(waitUntil([&] { return !item->placement().visible; })) << run;
    }
    EXPECT_EQ(watcher.registrations().size(), 2);
}

// Some hosts read every property and fail on a missing one, so the unused ones are there, empty.
TEST_F(StatusNotifierItemBus, ExportsEveryPropertyHostsRead) {
    registerDBusTypes();
    const auto item = makeItem();
    const auto host = client();
    const QVariant empty = QString();
    const struct {
        const char* name;
        QVariant expected;
    } cases[] = {
        {"Title", QStringLiteral("Brimlet")},
        {"Category", QStringLiteral("ApplicationStatus")},
        {"Status", QStringLiteral("Active")},
        {"WindowId", 0},
        {"Menu", QVariant::fromValue(QDBusObjectPath(QStringLiteral("/MenuBar")))},
        {"IconName", empty},
        {"IconThemePath", empty},
        {"OverlayIconName", empty},
        {"AttentionIconName", empty},
        {"AttentionMovieName", empty},
    };
    for (const auto& property : cases) {
        SCOPED_TRACE(property.name);
        EXPECT_EQ(host->itemProperty(QString::fromLatin1(property.name)), property.expected);
    }
    for (const auto* const name : {"IconPixmap", "OverlayIconPixmap", "AttentionIconPixmap"}) {
        SCOPED_TRACE(name);
        const auto value = host->itemProperty(QString::fromLatin1(name));
        ASSERT_TRUE(value.isValid());
        EXPECT_TRUE(qdbus_cast<IconPixmapList>(value).isEmpty());
    }
    EXPECT_TRUE(host->itemProperty(QStringLiteral("ToolTip")).isValid());
    EXPECT_EQ(host->menuProperty(QStringLiteral("Version")), QVariant(3u));
    EXPECT_EQ(host->menuProperty(QStringLiteral("TextDirection")), QStringLiteral("ltr"));
    EXPECT_EQ(host->menuProperty(QStringLiteral("Status")), QStringLiteral("normal"));
}

QImage gaugeWithBar(int barWidth) {
    QImage image(82, 44, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(0, 0, barWidth, 8, QColor(255, 92, 31));
    return image;
}

TEST_F(StatusNotifierItemBus, SendsNewIconOnlyWhenTheImageChanges) {
    const auto item = makeItem();
    const auto host = client();
    item->setImage(gaugeWithBar(30));
    ASSERT_TRUE(waitUntil([&] { return host->newIconCount() == 1; }));
    EXPECT_EQ(host->iconPixmaps().value(1).bytes, iconPixmap(gaugeWithBar(30)).bytes);

    item->setImage(gaugeWithBar(30));  // an equal image, drawn anew
    // A signal sent before this answer would have arrived before it: the item sends in order.
    (void)host->iconPixmaps();
    EXPECT_EQ(host->newIconCount(), 1);

    item->setImage(gaugeWithBar(60));
    ASSERT_TRUE(waitUntil([&] { return host->newIconCount() == 2; }));
    EXPECT_EQ(host->iconPixmaps().value(1).bytes, iconPixmap(gaugeWithBar(60)).bytes);
}

TEST_F(StatusNotifierItemBus, AboutToShowRebuildsAndAnnouncesANewLayout) {
    const auto item = makeItem();
    const auto host = client();
    // Some hosts ask for the layout without announcing the menu first.
    ASSERT_TRUE(host->layout());
    EXPECT_EQ(menuRequests, 1);
    for (uint opening = 2; opening <= 3; ++opening) {
        SCOPED_TRACE(opening);
        EXPECT_EQ(host->aboutToShow(0), true);
        ASSERT_TRUE(waitUntil([&] { return host->layoutUpdates().size() == opening; }));
        EXPECT_EQ(host->layoutUpdates().last(), opening);
        const auto layout = host->layout();
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->revision, opening);
        EXPECT_EQ(menuRequests, static_cast<int>(opening));  // GetLayout does not rebuild
    }
    EXPECT_EQ(host->aboutToShow(1), false);  // rows have no submenus
    EXPECT_EQ(menuRequests, 3);
}

TEST_F(StatusNotifierItemBus, ClickRunsTheActionOfChoosableRowsOnly) {
    const auto item = makeItem();
    const auto host = client();
    ASSERT_TRUE(host->layout());
    const struct {
        const char* name;
        int id;
        std::optional<MenuAction> expected;
    } cases[] = {
        {"refresh", test::refreshRow + 1, MenuAction::Refresh},
        {"separator", test::firstSeparatorRow + 1, std::nullopt},
        {"information row", test::sessionRow + 1, std::nullopt},
        {"root", 0, std::nullopt},
        {"unknown id", 99, std::nullopt},
    };
    for (const auto& click : cases) {
        SCOPED_TRACE(click.name);
        actions.clear();
        EXPECT_TRUE(host->click(click.id));
        if (click.expected) {
            ASSERT_TRUE(waitUntil([&] { return !actions.isEmpty(); }));
            EXPECT_EQ(actions, QList<MenuAction>{*click.expected});
        } else {
            // The action would be queued before the answer left; one more round trip settles it.
            ASSERT_TRUE(host->aboutToShow(1).has_value());
            EXPECT_TRUE(actions.isEmpty());
        }
    }
}

TEST_F(StatusNotifierItemBus, GroupCallsAnswerKnownIdsAndReportUnknownOnes) {
    const auto item = makeItem();
    const auto host = client();
    const auto refreshId = test::refreshRow + 1;

    const auto properties = host->callMenu(
        QStringLiteral("GetGroupProperties"),
        {QVariant::fromValue(QList<int>{refreshId, 99}), QStringList{QStringLiteral("label")}});
    ASSERT_TRUE(properties);
    const auto group = qdbus_cast<DBusMenuItemList>(properties->arguments().value(0));
    ASSERT_EQ(group.size(), 1);
    EXPECT_EQ(group.first().id, refreshId);
    EXPECT_EQ(group.first().properties.value(QStringLiteral("label")),
              QStringLiteral("지금 새로고침"));

    const auto label =
        host->callMenu(QStringLiteral("GetProperty"), {refreshId, QStringLiteral("label")});
    ASSERT_TRUE(label);
    EXPECT_EQ(qvariant_cast<QDBusVariant>(label->arguments().value(0)).variant(),
              QStringLiteral("지금 새로고침"));

    const struct {
        const char* name;
        QString method;
        QVariantList arguments;
    } errors[] = {
        {"property of an unknown id", "GetProperty", {99, QStringLiteral("label")}},
        {"property the row lacks", "GetProperty", {refreshId, QStringLiteral("toggle-state")}},
        {"layout of an unknown id", "GetLayout", {99, -1, QStringList()}},
    };
    for (const auto& call : errors) {
        SCOPED_TRACE(call.name);
        const auto reply = host->callMenu(call.method, call.arguments);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->type(), QDBusMessage::ErrorMessage);
    }

    const auto shown = host->callMenu(QStringLiteral("AboutToShowGroup"),
                                      {QVariant::fromValue(QList<int>{0, 99, 0})});
    ASSERT_TRUE(shown);
    EXPECT_EQ(qdbus_cast<QList<int>>(shown->arguments().value(0)), QList<int>{0});
    EXPECT_EQ(qdbus_cast<QList<int>>(shown->arguments().value(1)), QList<int>{99});

    const DBusMenuEventList events{{refreshId, QStringLiteral("clicked"), QDBusVariant(0), 0},
                                   {99, QStringLiteral("clicked"), QDBusVariant(0), 0},
                                   {refreshId, QStringLiteral("hovered"), QDBusVariant(0), 0}};
    const auto handled =
        host->callMenu(QStringLiteral("EventGroup"), {QVariant::fromValue(events)});
    ASSERT_TRUE(handled);
    EXPECT_EQ(qdbus_cast<QList<int>>(handled->arguments().value(0)), QList<int>{99});
    ASSERT_TRUE(waitUntil([&] { return !actions.isEmpty(); }));
    EXPECT_EQ(actions, QList<MenuAction>{MenuAction::Refresh});
}

// Without a bus, or with its object paths taken, the item is simply not shown: not half there, no
// registration, no crash and not a word on the console.
TEST_F(StatusNotifierItemBus, StaysQuietAndHiddenWhereItCannotBeExported) {
    ASSERT_TRUE(watcher.start());
    QObject taker;
    ASSERT_TRUE(itemConnection.registerObject(QStringLiteral("/MenuBar"), &taker));
    static QStringList messages;
    const auto previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages.append(text); });
    const struct {
        const char* name;
        QDBusConnection connection;
    } cases[] = {
        {"no bus", QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                 QStringLiteral("none"))},
        {"menu path taken", itemConnection},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        const auto item = makeItem(c.connection);
        item->setImage(gaugeWithBar(10));
        EXPECT_EQ(item->iconPixmaps().size(), 2);
        EXPECT_FALSE(client()->itemProperty(QStringLiteral("Id")).isValid());
        EXPECT_FALSE(item->placement().visible);
        EXPECT_EQ(messages, QStringList());
    }
    EXPECT_TRUE(watcher.registrations().isEmpty());
    qInstallMessageHandler(previous);
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

}  // namespace
}  // namespace brimlet

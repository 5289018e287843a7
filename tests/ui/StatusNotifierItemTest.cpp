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
// private bus, all served by this thread.
class StatusNotifierItemBus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "no dbus-daemon"; }

    // The item, answering with the sample menu and recording what it is asked for.
    std::unique_ptr<StatusNotifierItem> makeItem() {
        auto item = std::make_unique<StatusNotifierItem>(41, itemConnection);
        item->menuNeedsUpdate = [this] {
            ++menuRequests;
            return test::sampleMenu(true);
        };
        item->onAction = [this](MenuAction action) { actions.append(action); };
        return item;
    }

    [[nodiscard]] std::unique_ptr<StatusItemClient> client() const {
        return std::make_unique<StatusItemClient>(hostConnection, itemConnection.baseService());
    }

    [[nodiscard]] bool registeredTimes(qsizetype count) const {
        return waitUntil([&] { return watcher.registrations().size() == count; });
    }

    test::PrivateBus bus;
    QDBusConnection itemConnection = bus.connect(QStringLiteral("item"));
    QDBusConnection hostConnection = bus.connect(QStringLiteral("host"));
    FakeStatusWatcher watcher{hostConnection};
    int menuRequests = 0;
    QList<MenuAction> actions;
};

TEST_F(StatusNotifierItemBus, RegistersItsBusNameWithTheWatcherAtStart) {
    ASSERT_TRUE(watcher.start());
    const auto item = makeItem();
    ASSERT_TRUE(registeredTimes(1));
    const auto& registration = watcher.registrations().first();
    EXPECT_EQ(registration.service, itemConnection.baseService());
    EXPECT_EQ(registration.sender, itemConnection.baseService());
    EXPECT_TRUE(waitUntil([&] { return item->placement().visible; }));
    EXPECT_EQ(item->placement().length, 41);
    EXPECT_EQ(item->placement().window, QRectF());
}

TEST_F(StatusNotifierItemBus, RegistersOnceAWatcherAppearsLater) {
    const auto item = makeItem();
    const auto host = client();
    ASSERT_TRUE(host->itemProperty(QStringLiteral("Id")).isValid());  // the item is up
    EXPECT_FALSE(item->placement().visible);

    ASSERT_TRUE(watcher.start());
    ASSERT_TRUE(registeredTimes(1));
    EXPECT_EQ(watcher.registeredItems(),
              QStringList{itemConnection.baseService() + QStringLiteral("/StatusNotifierItem")});
    EXPECT_TRUE(waitUntil([&] { return item->placement().visible; }));
}

TEST_F(StatusNotifierItemBus, RegistersAgainEachTimeTheWatcherRestarts) {
    ASSERT_TRUE(watcher.start());
    const auto item = makeItem();
    ASSERT_TRUE(registeredTimes(1));
    for (qsizetype restart = 1; restart <= 2; ++restart) {
        watcher.stop();
        EXPECT_TRUE(waitUntil([&] { return !item->placement().visible; }));
        ASSERT_TRUE(watcher.start());
        ASSERT_TRUE(registeredTimes(1 + restart));
        EXPECT_EQ(watcher.registeredItems().size(), 1);
        EXPECT_TRUE(waitUntil([&] { return item->placement().visible; }));
    }
}

TEST_F(StatusNotifierItemBus, ExportsTheItemsProperties) {
    registerDBusTypes();
    const auto item = makeItem();
    const auto host = client();
    const auto empty = QString();
    const struct {
        const char* name;
        QVariant expected;
    } cases[] = {
        {"Id", QStringLiteral("com.zorvan.brimlet")},
        {"Title", QStringLiteral("Brimlet")},
        {"Category", QStringLiteral("ApplicationStatus")},
        {"Status", QStringLiteral("Active")},
        {"ItemIsMenu", true},
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
    const auto toolTip = qdbus_cast<ToolTip>(host->itemProperty(QStringLiteral("ToolTip")));
    EXPECT_TRUE(toolTip.title.isEmpty() && toolTip.iconPixmaps.isEmpty());

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
    auto pixmaps = host->iconPixmaps();
    ASSERT_EQ(pixmaps.size(), 2);
    EXPECT_EQ(QSize(pixmaps.at(0).width, pixmaps.at(0).height), QSize(41, 22));
    EXPECT_EQ(QSize(pixmaps.at(1).width, pixmaps.at(1).height), QSize(82, 44));
    EXPECT_EQ(pixmaps.at(1).bytes, iconPixmap(gaugeWithBar(30)).bytes);

    item->setImage(gaugeWithBar(30));  // an equal image, drawn anew
    // A signal sent before this answer would have arrived before it: the item sends in order.
    pixmaps = host->iconPixmaps();
    EXPECT_EQ(host->newIconCount(), 1);

    item->setImage(gaugeWithBar(60));
    ASSERT_TRUE(waitUntil([&] { return host->newIconCount() == 2; }));
    EXPECT_EQ(host->iconPixmaps().at(1).bytes, iconPixmap(gaugeWithBar(60)).bytes);
}

TEST_F(StatusNotifierItemBus, AboutToShowRebuildsAndAnnouncesANewLayout) {
    const auto item = makeItem();
    const auto host = client();
    for (uint opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        EXPECT_EQ(host->aboutToShow(0), true);
        EXPECT_EQ(menuRequests, static_cast<int>(opening));
        ASSERT_TRUE(waitUntil([&] { return host->layoutUpdates().size() == opening; }));
        EXPECT_EQ(host->layoutUpdates().last(), opening);
        const auto layout = host->layout();
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->revision, opening);
        EXPECT_EQ(menuRequests, static_cast<int>(opening));  // the layout is not rebuilt
    }
    EXPECT_EQ(host->aboutToShow(1), false);  // rows have no submenus
    EXPECT_EQ(menuRequests, 2);
}

TEST_F(StatusNotifierItemBus, LayoutShowsTheRowsAsTrayHostsExpectThem) {
    const auto item = makeItem();
    const auto host = client();
    // Some hosts ask for the layout without announcing the menu first.
    const auto layout = host->layout();
    ASSERT_TRUE(layout);
    EXPECT_EQ(menuRequests, 1);
    EXPECT_EQ(layout->rootProperties.value(QStringLiteral("children-display")),
              QStringLiteral("submenu"));

    const auto menu = test::sampleMenu(true);
    ASSERT_EQ(layout->rows.size(), menu.size());
    const QStringList control_r{QStringLiteral("Control"), QStringLiteral("r")};
    const QStringList control_q{QStringLiteral("Control"), QStringLiteral("q")};
    const struct {
        int row;
        QString type;
        bool enabled;
        QString toggleType;
        int toggleState;
        QStringList shortcut;
    } cases[] = {
        {test::sessionRow, "standard", false, "", -1, {}},
        {test::resetRow, "standard", false, "", -1, {}},
        {test::firstSeparatorRow, "separator", true, "", -1, {}},
        {test::activityRow, "standard", false, "", -1, {}},
        {test::refreshRow, "standard", true, "", -1, control_r},
        {test::loginRow, "standard", true, "checkmark", 1, {}},
        {test::versionRow, "standard", false, "", -1, {}},
        {test::quitRow, "standard", true, "", -1, control_q},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.row);
        const auto& row = layout->rows.at(expected.row);
        EXPECT_EQ(row.id, expected.row + 1);
        EXPECT_EQ(row.type, expected.type);
        EXPECT_EQ(row.label,
                  menu.at(expected.row).separator ? QString() : menu.at(expected.row).text);
        EXPECT_EQ(row.enabled, expected.enabled);
        EXPECT_EQ(row.toggleType, expected.toggleType);
        EXPECT_EQ(row.toggleState, expected.toggleState);
        EXPECT_EQ(row.shortcut, expected.shortcut);
    }
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
        {"login", test::loginRow + 1, MenuAction::ToggleLogin},
        {"quit", test::quitRow + 1, MenuAction::Quit},
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
    EXPECT_EQ(handled->errorMessage(), QString());
    EXPECT_EQ(qdbus_cast<QList<int>>(handled->arguments().value(0)), QList<int>{99});
    ASSERT_TRUE(waitUntil([&] { return !actions.isEmpty(); }));
    EXPECT_EQ(actions, QList<MenuAction>{MenuAction::Refresh});
}

// Without a session bus the item is simply not shown: no crash and not a word on the console.
TEST(StatusNotifierItemWithoutBus, StaysQuietAndHidden) {
    static QStringList messages;
    messages.clear();
    const auto previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages.append(text); });
    {
        const auto noBus = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/brimlet-bus"), QStringLiteral("none"));
        ASSERT_FALSE(noBus.isConnected());
        StatusNotifierItem item(41, noBus);
        item.menuNeedsUpdate = [] { return test::sampleMenu(); };
        item.setImage(gaugeWithBar(10));
        EXPECT_EQ(item.iconPixmaps().size(), 2);
        EXPECT_FALSE(item.placement().visible);
        EXPECT_EQ(item.placement().length, 41);
        QCoreApplication::processEvents();
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    qInstallMessageHandler(previous);
    EXPECT_EQ(messages, QStringList());
}

}  // namespace
}  // namespace brimlet

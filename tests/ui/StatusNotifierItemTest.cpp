#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <set>

#include "support/FakeService.h"
#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/StatusItemClient.h"
#include "support/WaitUntil.h"
#include "ui/GaugeRenderer.h"
#include "ui/SampleMenu.h"
#include "ui/SquareGauge.h"
#include "ui/sni/LinuxStatusItem.h"
#include "ui/sni/StatusNotifierItem.h"
#include "ui/sni/ToolTipPace.h"
#include "ui/sni/TrayFaceChooser.h"
#include "ui/sni/TrayPulseCadence.h"

namespace brimlet {
namespace {

using namespace std::chrono_literals;
using Face = TrayFaceChooser::Face;

// What the real program on a private bus shows is seen in the end-to-end tests; these look at
// what a host there never does: a bus that is missing or refuses us, and the XEmbed stand-in.
class StatusNotifierItemBus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "no dbus-daemon"; }

    test::PrivateBus bus;
    QDBusConnection itemConnection = bus.connect("item");
    QDBusConnection hostConnection = bus.connect("host");
    test::FakeStatusWatcher watcher{hostConnection};
};

// Without a bus, or with its object paths taken, the item is simply not shown: not half there, no
// registration, no crash and not a word on the console.
TEST_F(StatusNotifierItemBus, StaysQuietAndHiddenWhereItCannotBeExported) {
    ASSERT_TRUE(watcher.start());
    QObject taker;
    ASSERT_TRUE(itemConnection.registerObject("/MenuBar", &taker));
    static QStringList messages;
    const auto previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages.append(text); });
    const struct {
        const char* name;
        QDBusConnection connection;
    } cases[] = {
        {"no bus", QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none")},
        {"menu path taken", itemConnection},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        StatusNotifierItem item(41, c.connection);
        item.menuNeedsUpdate = [] { return test::sampleMenu(); };
        item.setGauge(GaugeFace{});
        item.menuMayHaveChanged();
        EXPECT_EQ(item.iconPixmaps().size(), squareGauge::pixelSizes().size());
        test::StatusItemClient host(hostConnection, itemConnection.baseService());
        EXPECT_FALSE(host.itemProperty("Id").isValid());
        EXPECT_FALSE(item.placement().visible);
        EXPECT_EQ(messages, QStringList());
    }
    EXPECT_TRUE(watcher.calls().isEmpty());
    qInstallMessageHandler(previous);
    QDBusConnection::disconnectFromBus("none");
}

// Hosts that send Activate for a left click (Plasma, LXQt) get the menu records popped up as a Qt
// menu where they were clicked.
TEST_F(StatusNotifierItemBus, ActivatePopsTheMenuUpWhereTheHostWasClicked) {
    StatusNotifierItem item(41, itemConnection);
    item.menuNeedsUpdate = [] { return test::sampleMenu(); };
    test::StatusItemClient host(hostConnection, itemConnection.baseService());
    ASSERT_TRUE(host.callItem("Activate", {30, 40}));
    QWidget* popup = nullptr;
    ASSERT_TRUE(test::waitUntil([&] { return (popup = QApplication::activePopupWidget()); }));
    EXPECT_EQ(popup->actions().size(), test::sampleMenu().size());
    EXPECT_EQ(popup->pos(), QPoint(30, 40));
    popup->close();
}

// Any client on the bus may name the root many times in one AboutToShowGroup; the records, read
// from every source of the menu, are read once for it.
TEST_F(StatusNotifierItemBus, ReadsTheRecordsOnceForARootNamedManyTimes) {
    StatusNotifierItem item(41, itemConnection);
    int reads = 0;
    item.menuNeedsUpdate = [&reads] { return ++reads, test::sampleMenu(); };
    test::StatusItemClient host(hostConnection, itemConnection.baseService());
    ASSERT_TRUE(host.callMenu("AboutToShow", {0}));  // built: 1 read
    const auto shown =
        host.callMenu("AboutToShowGroup", {QVariant::fromValue(QList<int>(1000, 0))});
    ASSERT_TRUE(shown);
    EXPECT_EQ(qdbus_cast<QList<int>>(shown->arguments().value(0)), QList<int>());  // unchanged
    EXPECT_EQ(reads, 2);
}

// Claude Code writing fast (the fastest pulse), stepped as the tray's cadence steps it over six
// seconds: a host is told of a new picture only when the picture changed (about twice a second,
// and two-thirds a second in GNOME, whose every picture costs a repaint of its whole stage), and
// the lit dot still swings from dim to bright every cycle.
TEST_F(StatusNotifierItemBus, AnnouncesAPictureOnlyWhenThePulseChangesIt) {
    ASSERT_TRUE(watcher.start());
    const struct {
        const char* desktop;
        int mostChanges;  // the first picture, then each change
        std::set<double> opacities;
    } cases[] = {
        {"XFCE", 9, {0.35, 0.675, 1}},
        {"ubuntu:GNOME", 5, {0.35, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desktop);
        StatusNotifierItem item(41, itemConnection);
        test::StatusItemClient host(hostConnection, itemConnection.baseService());
        ASSERT_TRUE(test::waitUntil([&] { return item.isRegistered(); }));
        QDateTime now = QDateTime::currentDateTimeUtc();
        GaugeRenderer gauge([&now] { return now; },
                            trayPulseCadence(QString::fromLatin1(c.desktop)));
        gauge.activity = {300, 0};
        std::set<double> opacities;
        std::optional<GaugeFace> last;
        int changes = 0;
        for (auto elapsed = 0ms; elapsed < 6s; elapsed += gauge.cadence().step) {
            now = now.addMSecs(gauge.cadence().step.count());
            (void)gauge.advance();
            changes += gauge.face() != last ? 1 : 0;
            last = gauge.face();
            opacities.insert(last->pulseAlpha);
            item.setGauge(*last);
        }
        EXPECT_TRUE(test::waitUntil([&] { return host.newIconCount() == changes; }));
        (void)test::waitUntil([] { return false; }, 200ms);  // none more
        EXPECT_EQ(host.newIconCount(), changes);
        EXPECT_LE(changes, c.mostChanges);
        EXPECT_EQ(opacities, c.opacities);
    }
}

// While a host has the menu open it follows the rows (at most once a second) but is not told of a
// new tool tip, which it would show over the menu. While the menu is closed, changes are told at
// most once a minute (GNOME Shell rebuilds its copy at each) but rows that come or go at once, and
// a host about to show the menu hears that it needs an update and is told at once.
TEST_F(StatusNotifierItemBus, FollowsAnOpenMenuAndSparesAClosedOne) {
    StatusNotifierItem item(41, itemConnection);
    auto rows = test::sampleMenu();
    item.menuNeedsUpdate = [&rows] { return rows; };
    test::StatusItemClient host(hostConnection, itemConnection.baseService());
    const auto change = [&](const char* text) {
        rows.first().text = QString::fromUtf8(text);
        item.menuMayHaveChanged();
    };
    const auto toolTipText = [&host] {
        return qdbus_cast<ToolTip>(host.itemProperty("ToolTip")).text;
    };
    const auto announced = [&host](qsizetype count, std::chrono::milliseconds within = 5s) {
        return test::waitUntil([&] { return host.layoutUpdates().size() == count; }, within);
    };
    ASSERT_TRUE(host.event(0, "opened"));
    item.menuMayHaveChanged();  // the first rows
    change("a");
    EXPECT_TRUE(announced(1, 500ms));
    change("b");
    EXPECT_TRUE(announced(2, 2s));
    EXPECT_EQ(host.newToolTipCount(), 0);
    EXPECT_EQ(toolTipText(), StatusNotifierItem::title());
    ASSERT_TRUE(host.event(0, "closed"));
    EXPECT_TRUE(test::waitUntil([&host] { return host.newToolTipCount() == 1; }));
    EXPECT_TRUE(toolTipText().startsWith(u'b'));
    change("c");
    EXPECT_FALSE(announced(3, 1500ms));
    EXPECT_EQ(host.callMenu("AboutToShow", {0})->arguments().value(0), true);
    EXPECT_TRUE(announced(3, 500ms));
    rows.removeLast();  // a row gone: told within a second, the menu closed or not
    item.menuMayHaveChanged();
    EXPECT_TRUE(announced(4, 1500ms));
}

TEST(ToolTipPace, TellsTheLatestChangeAtMostEveryTenSecondsAndNeverOverAnOpenMenu) {
    ToolTipPace pace("Brimlet");
    const auto tells = [&pace](const char* text, qint64 nowMs) {
        pace.offer(QString::fromUtf8(text));
        return pace.settle(nowMs);
    };
    EXPECT_TRUE(tells("a", 0).tell);  // the first change at once
    EXPECT_EQ(tells("b", 3'000).retryAfterMs, 7'000);
    EXPECT_EQ(tells("c", 9'000).retryAfterMs, 1'000);
    EXPECT_TRUE(pace.settle(10'000).tell);
    EXPECT_EQ(pace.text(), "c");                                // the latest, once
    EXPECT_EQ(pace.settle(30'000).retryAfterMs, std::nullopt);  // nothing waits
    pace.menuOpened(30'000);
    EXPECT_EQ(tells("d", 31'000).retryAfterMs, 59'000);
    pace.menuClosed();
    EXPECT_TRUE(pace.settle(45'000).tell);
    pace.menuOpened(50'000);  // by a host that never says it closed
    EXPECT_FALSE(tells("e", 109'000).tell);
    EXPECT_TRUE(pace.settle(110'000).tell);
    EXPECT_FALSE(tells("f", 111'000).tell);
    EXPECT_FALSE(tells("e", 121'000).tell);             // undone before it was told: never told
    EXPECT_EQ(tells("g", 5'000).retryAfterMs, 10'000);  // a clock set back waits one round
    EXPECT_EQ(pace.text(), "e");
}

// On X11 without a watcher, Qt's tray icon stands in (shown as soon as it has a picture); a
// watcher that takes our registration replaces it. Offscreen, the stand-in is shown to nobody,
// but the item says which face is up through its placement's visibility.
TEST_F(StatusNotifierItemBus, StandsInForTheWatcherOnlyWhileThereIsNone) {
    LinuxStatusItem item(41, itemConnection, true);
    item.setGauge(GaugeFace{});
    EXPECT_TRUE(item.placement().visible);  // the stand-in
    ASSERT_TRUE(watcher.start());
    EXPECT_TRUE(test::waitUntil([&] { return watcher.calls().size() == 1; }));
    EXPECT_TRUE(test::waitUntil([&] { return item.placement().visible; }));
    watcher.stop();
    EXPECT_TRUE(test::waitUntil([&] { return !item.placement().visible; }));     // waiting for it
    EXPECT_TRUE(test::waitUntil([&] { return item.placement().visible; }, 5s));  // stand-in again
    // A bus connection that drops never brings a watcher back: the stand-in takes over.
    auto lostBus = std::make_unique<test::PrivateBus>();
    test::FakeStatusWatcher lostWatcher(lostBus->connect("lost-host"));
    ASSERT_TRUE(lostWatcher.start());
    LinuxStatusItem lostItem(41, lostBus->connect("lost-item"), true);
    lostItem.setGauge(GaugeFace{});
    EXPECT_TRUE(test::waitUntil([&] { return lostItem.placement().visible; }));  // registered
    lostBus->stop();
    EXPECT_TRUE(test::waitUntil([&] { return !lostItem.placement().visible; }));
    EXPECT_TRUE(test::waitUntil([&] { return lostItem.placement().visible; }, 5s));
    // Not on Wayland, where no XEmbed tray exists: there the item just waits.
    LinuxStatusItem waylandItem(41, bus.connect("wayland"), false);
    waylandItem.setGauge(GaugeFace{});
    EXPECT_FALSE(waylandItem.placement().visible);
}

// One X11 session's timeline of watcher observations (present, registered) at given times, with
// the face and the next change asked for at each; then a watcher that comes where there was none
// (the faces at the start, with and without one, are seen on the bus above).
TEST(TrayFaceChooser, ShowsTheStandInOnlyOnX11WithoutAWatcherForAWhile) {
    constexpr qint64 grace = TrayFaceChooser::graceMs;
    const struct {
        const char* name;
        qint64 at;
        std::optional<std::pair<bool, bool>> seen;
        Face face;
        std::optional<qint64> nextChange;
    } steps[] = {
        {"watcher at start, not yet answered", 0, {}, Face::StatusNotifier, {}},
        {"registered", 5, {{true, true}}, Face::StatusNotifier, {}},
        {"watcher just gone", 100, {{false, false}}, Face::StatusNotifier, 100 + grace},
        {"back within the grace", 200, {{true, false}}, Face::StatusNotifier, {}},
        {"gone again", 300, {{false, false}}, Face::StatusNotifier, 300 + grace},
        {"gone for good", 300 + grace, {}, Face::XEmbed, {}},
    };
    TrayFaceChooser chooser(true, true);
    for (const auto& step : steps) {
        if (step.seen) {
            chooser.observe(step.seen->first, step.seen->second, step.at);
        }
        EXPECT_EQ(chooser.face(step.at), step.face) << step.name;
        EXPECT_EQ(chooser.nextChange(step.at), step.nextChange) << step.name;
    }
    TrayFaceChooser later(true, false);
    later.observe(true, false, 50);
    EXPECT_EQ(later.face(60), Face::StatusNotifier);
}

}  // namespace
}  // namespace brimlet

#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSize>
#include <map>

#include "support/BrimletProcess.h"
#include "support/CredentialFile.h"
#include "support/FakeService.h"
#include "support/FakeUsageServer.h"
#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/StatusItemClient.h"

namespace brimlet::test {
namespace {

using namespace std::chrono_literals;

// The program under test is built to ask the fake usage service on this loopback port.
constexpr quint16 usagePort = BRIMLET_LOOPBACK_USAGE_PORT;

const QByteArray twoBuckets = R"({
    "five_hour": {"utilization": 36.6, "resets_at": "2026-12-05T15:00:00.528743+00:00"},
    "seven_day": {"utilization": 12.5, "resets_at": "2026-12-10T03:30:00+00:00"},
    "seven_day_opus": null, "extra_usage": {"is_enabled": false}})";

// One content block of a reply as Claude Code writes it, a line each.
QByteArray replyLine(const char* id, int outputTokens) {
    return R"({"parentUuid":null,"isSidechain":false,"type":"assistant","message":{"id":")" +
           QByteArray(id) +
           R"(","type":"message","role":"assistant","model":"claude-opus-4-1","content":[],)"
           R"("usage":{"input_tokens":3,"output_tokens":)" +
           QByteArray::number(outputTokens) + R"(,"service_tier":"standard"}},"uuid":"u1"})" + '\n';
}

// The real program as the desktop runs it: a private session bus on which the test plays the
// tray host, a fake usage service, and a home folder holding a credential and transcripts where
// Claude Code keeps them when CLAUDE_CONFIG_DIR names its configuration folder: a session's and
// its subagent's there, and an older version's in ~/.config/claude.
class TrayEndToEndTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.address().isEmpty()) << "no dbus-daemon";
        ASSERT_TRUE(server_.isListening()) << "port " << usagePort;
        server_.script({ScriptedAnswer::ok(twoBuckets)});
        ASSERT_TRUE(writeCredential(configFolder(), "sk-ant-oat01-e2e token"));
        for (const QString& transcript : transcripts()) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(transcript).path()));
            appendTo(transcript, "{\"type\":\"user\"}\n");
        }
    }

    [[nodiscard]] QString configFolder() const { return home_.file("claude-config"); }
    // A session's, its subagent's, and one in the folder older versions wrote to.
    [[nodiscard]] QStringList transcripts() const {
        return {
            configFolder() + QStringLiteral("/projects/-home-kim-work/s1.jsonl"),
            configFolder() + QStringLiteral("/projects/-home-kim-work/s1/subagents/agent-a.jsonl"),
            home_.file(".config/claude/projects/-home-kim-old/s0.jsonl")};
    }
    static void appendTo(const QString& transcript, const QByteArray& bytes) {
        QFile file(transcript);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(bytes);
    }

    void startApp(const QStringList& arguments = {}) {
        QProcessEnvironment environment = home_.environment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus_.address());
        environment.insert("TZ", "UTC");
        environment.insert("CLAUDE_CONFIG_DIR", configFolder());
        ASSERT_TRUE(app_.start(arguments, environment, home_.path()));
    }

    [[nodiscard]] bool registeredTimes(qsizetype count) const {
        return waitUntil([&] { return watcher_.calls().size() >= count; }, 10s);
    }

    [[nodiscard]] StatusItemClient client() const {
        return StatusItemClient(host_, watcher_.calls().last().sender);
    }

    TempHome home_;
    PrivateBus bus_;
    QDBusConnection host_ = bus_.connect("tray-host");
    FakeStatusWatcher watcher_{host_};
    FakeUsageServer server_{usagePort};
    BackgroundBrimlet app_;
};

// How often a process's main thread woke (its voluntary context switches): the thread of the
// timers.
qint64 wakeUps(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    return text.mid(text.indexOf("\nvoluntary_ctxt_switches:") + 26).split('\n')[0].toLongLong();
}

// Some hosts read every property and fail on a missing one, so the unused ones are there, empty.
void expectPropertiesHostsRead(StatusItemClient& item) {
    const QVariantMap expected{{"Id", "com.zorvan.brimlet"},
                               {"Title", "Brimlet"},
                               {"Category", "ApplicationStatus"},
                               {"Status", "Active"},
                               {"WindowId", 0},
                               {"ItemIsMenu", true},
                               {"Menu", QVariant::fromValue(QDBusObjectPath("/MenuBar"))}};
    for (auto property = expected.begin(); property != expected.end(); ++property) {
        EXPECT_EQ(item.itemProperty(property.key()), *property) << property.key().toStdString();
    }
    for (const auto* const name : {"IconName", "IconThemePath", "OverlayIconName",
                                   "AttentionIconName", "AttentionMovieName"}) {
        EXPECT_EQ(item.itemProperty(name), QVariant(QString())) << name;
    }
    for (const auto* const name : {"OverlayIconPixmap", "AttentionIconPixmap"}) {
        const QVariant value = item.itemProperty(name);
        EXPECT_TRUE(value.isValid() && qdbus_cast<IconPixmapList>(value).isEmpty()) << name;
    }
    EXPECT_EQ(item.menuProperty("Version"), QVariant(3u));
    EXPECT_EQ(item.menuProperty("TextDirection"), QVariant("ltr"));
    EXPECT_EQ(item.menuProperty("Status"), QVariant("normal"));
}

// The dbusmenu calls hosts make besides GetLayout, with the errors they expect for ids that name
// nothing; clicks on rows without an action do nothing.
void expectGroupCallsAndErrors(StatusItemClient& item, int refreshId, int infoId) {
    // An id asked many times is answered once; names are matched however many there are.
    const auto group =
        item.callMenu("GetGroupProperties", {QVariant::fromValue(QList<int>(1000, refreshId) << 99),
                                             QStringList(1000, "x") << "label"});
    ASSERT_TRUE(group);
    const auto rows = qdbus_cast<DBusMenuItemList>(group->arguments().value(0));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().properties, QVariantMap({{"label", "지금 새로고침"}}));
    const auto label = item.callMenu("GetProperty", {refreshId, "label"});
    ASSERT_TRUE(label);
    EXPECT_EQ(qvariant_cast<QDBusVariant>(label->arguments().value(0)).variant(), "지금 새로고침");
    const QList<std::pair<QString, QVariantList>> errors{
        {"GetProperty", {99, "label"}},
        {"GetProperty", {refreshId, "toggle-state"}},
        {"GetLayout", {99, -1, QStringList()}},
    };
    for (const auto& [method, arguments] : errors) {
        const auto reply = item.callMenu(method, arguments);
        EXPECT_TRUE(reply && reply->type() == QDBusMessage::ErrorMessage) << method.toStdString();
    }
    const auto shown = item.callMenu("AboutToShowGroup", {QVariant::fromValue(QList<int>{0, 99})});
    ASSERT_TRUE(shown);
    EXPECT_EQ(qdbus_cast<QList<int>>(shown->arguments().value(1)), QList<int>{99});
    const DBusMenuEventList events{{infoId, "clicked", QDBusVariant(0), 0},
                                   {99, "clicked", QDBusVariant(0), 0},
                                   {refreshId, "hovered", QDBusVariant(0), 0}};
    const auto handled = item.callMenu("EventGroup", {QVariant::fromValue(events)});
    ASSERT_TRUE(handled);
    EXPECT_EQ(qdbus_cast<QList<int>>(handled->arguments().value(0)), QList<int>{99});
}

// The round trip as the caller sees it, the (de)marshalling of the list at both ends included;
// sanitized builds run about three times slower.
#ifdef __SANITIZE_ADDRESS__
constexpr qint64 refusedWithinMs = 300;
#else
constexpr qint64 refusedWithinMs = 100;
#endif

// Any program on the bus may hand in lists of any length: a list longer than any host sends is
// refused at once, read no further than the bound.
void expectLongListsRefused(StatusItemClient& item, int refreshId) {
    const auto ids = [](qsizetype n, int id) { return QVariant::fromValue(QList<int>(n, id)); };
    const QVariant events =
        QVariant::fromValue(DBusMenuEventList(20'000, {99, "hovered", QDBusVariant(0), 0}));
    const std::pair<const char*, QVariantList> calls[] = {
        {"GetGroupProperties", {ids(100'000, refreshId), QStringList(10'000, "label")}},
        {"GetLayout", {0, -1, QStringList(50'000, "label")}},
        {"AboutToShowGroup", {ids(100'000, 99)}},
        {"EventGroup", {events}},
    };
    for (const auto& [method, arguments] : calls) {
        QElapsedTimer clock;
        clock.start();
        const auto reply = item.callMenu(method, arguments);
        EXPECT_LT(clock.elapsed(), refusedWithinMs) << method;
        EXPECT_TRUE(reply && reply->errorName() == "org.freedesktop.DBus.Error.LimitsExceeded")
            << method;
    }
}

TEST_F(TrayEndToEndTest, ShowsTheGaugeAndTheMenuAndFollowsTheTrayHost) {
    ASSERT_TRUE(watcher_.start());
    startApp({"--debug"});
    ASSERT_TRUE(registeredTimes(1));
    // By its bus name: the watcher then finds the item at /StatusNotifierItem there.
    EXPECT_EQ(watcher_.calls().last().arguments, QVariantList{watcher_.calls().last().sender});
    StatusItemClient item = client();
    expectPropertiesHostsRead(item);
    QList<QSize> sizes;
    for (const auto& pixmap : qdbus_cast<IconPixmapList>(item.itemProperty("IconPixmap"))) {
        sizes.append({pixmap.width, pixmap.height});
    }
    EXPECT_EQ(sizes, (QList<QSize>{{16, 16}, {18, 18}, {20, 20}, {22, 22}, {24, 24}, {44, 44}}));

    // One poll at start, with the token and the beta header.
    ASSERT_TRUE(waitUntil([&] { return !server_.requests().isEmpty(); }));
    const RecordedRequest& poll = server_.requests().first();
    EXPECT_EQ(poll.requestLine, "GET /api/oauth/usage HTTP/1.1");
    EXPECT_EQ(poll.header("Authorization"), "Bearer sk-ant-oat01-e2e token");
    EXPECT_EQ(poll.header("anthropic-beta"), "oauth-2025-04-20");
    // Beyond our two, only what Qt's HTTP layer itself always sends.
    const QList<QByteArray> allowed{"Host",       "Authorization",   "anthropic-beta",
                                    "Connection", "Accept-Encoding", "Accept-Language",
                                    "User-Agent"};
    for (const auto& [name, value] : poll.headers) {
        EXPECT_TRUE(allowed.contains(name)) << name.toStdString() << ": " << value.toStdString();
    }

    // A host that keeps its copy of the menu (GNOME's) never calls AboutToShow.
    ASSERT_TRUE(waitUntil([&] { return item.menu().labels.size() == 12; }, 10s));
    const QStringList menu = item.menu().labels;
    EXPECT_EQ(menu.mid(0, 6), (QStringList{"세션 (5시간)   63% 남음",
                                           "      리셋 12월 5일 (토) 15:00", "주간 전체   88% 남음",
                                           "      리셋 12월 10일 (목) 03:30", "---", "대기 중"}));
    EXPECT_TRUE(menu.at(6).startsWith("마지막 갱신 "));
    // The version is the project's, as the embedded Info dictionary carries it.
    EXPECT_EQ(menu.mid(7), (QStringList{"---", "지금 새로고침", "로그인 시 자동 실행",
                                        "Brimlet " BRIMLET_PROJECT_VERSION, "종료"}));
    // The tool tip follows within 10 s of the loading rows it showed first, told once.
    ToolTip toolTip;
    EXPECT_TRUE(waitUntil(
        [&] {
            toolTip = qdbus_cast<ToolTip>(item.itemProperty("ToolTip"));
            return toolTip.text == menu.mid(0, 4).join(u'\n') + "\n대기 중";
        },
        12s));
    EXPECT_EQ(toolTip.title, "Brimlet");
    EXPECT_EQ(item.itemProperty("IconAccessibleDesc"), toolTip.text);
    EXPECT_LE(item.newToolTipCount(), 2);
    expectGroupCallsAndErrors(item, item.menu().idOf("지금 새로고침"), item.menu().idOf("대기 중"));
    expectLongListsRefused(item, item.menu().idOf("지금 새로고침"));

    // Idle, with the activity source looking every 2 s: neither the icon nor the menu changes, and
    // the program sleeps (no animation timer): a few wake-ups in 2.5 s, not twelve a second.
    const int icons = item.newIconCount();
    const auto updates = item.layoutUpdates().size();
    const qint64 woken = wakeUps(app_.processId());
    (void)waitUntil([] { return false; }, 2500ms);
    EXPECT_EQ(item.newIconCount(), icons);
    EXPECT_EQ(item.layoutUpdates().size(), updates);
    EXPECT_LT(wakeUps(app_.processId()) - woken, 8);

    // Claude Code writes replies, each one content block a line: the session's repeats its usage,
    // the subagent's grows from a placeholder, and the older folder's is one line. Each counted
    // once, 400 tokens in all. The menu closed, the host is not told at once; about to show the
    // menu, it hears that it needs an update and is told within a second, and its next GetLayout
    // has the new line; the dot pulses.
    appendTo(transcripts()[0], replyLine("msg_01a", 200).repeated(3));
    appendTo(transcripts()[1], replyLine("msg_01b", 1) + replyLine("msg_01b", 100));
    appendTo(transcripts()[2], replyLine("msg_01c", 100));
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto shown = item.callMenu("AboutToShow", {0});
            return shown && shown->arguments().value(0).toBool();
        },
        6s));
    EXPECT_TRUE(waitUntil([&] { return item.layoutUpdates().size() > updates; }, 1500ms));
    const QString working = "작동 중 — Opus 20 tok/s";
    EXPECT_TRUE(item.menu().labels.contains(working));
    EXPECT_TRUE(waitUntil([&] { return item.newIconCount() >= icons + 3; }, 10s));

    // A refresh the user asks for runs at once, the next not within 10 s however often asked.
    for (int click = 0; click < 20; ++click) {
        EXPECT_TRUE(item.click(item.menu().idOf("지금 새로고침")));
    }
    EXPECT_TRUE(waitUntil([&] { return server_.requests().size() == 2; }));
    (void)waitUntil([] { return false; }, 500ms);
    EXPECT_EQ(server_.requests().size(), 2);
    // Launch at login on and off again, each seen by a host with the menu open: two changes of
    // the check mark within a fraction of a second, announced at least a second after the last
    // announcement (the two may become one).
    const QString autostart = home_.file(".config/autostart/com.zorvan.brimlet.desktop");
    const auto announced = item.layoutUpdates().size();
    EXPECT_TRUE(item.event(0, "opened"));
    for (const bool on : {true, false}) {
        EXPECT_TRUE(item.click(item.menu().idOf("로그인 시 자동 실행")));
        EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(autostart) == on; }));
        const auto shown = item.callMenu("AboutToShow", {0});  // "needs update": true
        EXPECT_TRUE(shown && shown->arguments().value(0).toBool());
    }
    EXPECT_TRUE(waitUntil(
        [&] {
            return item.layoutUpdates().size() > announced &&
                   item.layoutUpdates().last().revision == item.menu().revision;
        },
        5s));
    for (qsizetype i = 1; i < item.layoutUpdates().size(); ++i) {
        EXPECT_GE(item.layoutUpdates()[i].atMs - item.layoutUpdates()[i - 1].atMs, 900) << i;
    }
    // A switch that fails shows its alert without a loop of its own, and clicks while it is up do
    // nothing, also once the switch would succeed.
    ASSERT_TRUE(QDir(QFileInfo(autostart).path()).removeRecursively());
    ASSERT_TRUE(QFile(QFileInfo(autostart).path()).open(QIODevice::WriteOnly));
    for (const bool blocked : {true, false}) {
        EXPECT_TRUE(item.click(item.menu().idOf("로그인 시 자동 실행")));
        (void)item.menu();  // the click has been carried out
        EXPECT_TRUE(!blocked || QFile::remove(QFileInfo(autostart).path()));
    }
    EXPECT_FALSE(QFileInfo::exists(autostart));

    // The panel restarts: the item registers again with the new watcher.
    watcher_.stop();
    ASSERT_TRUE(watcher_.start());
    ASSERT_TRUE(registeredTimes(2));

    EXPECT_TRUE(client().click(item.menu().idOf("종료")));
    ASSERT_TRUE(waitUntil([&] { return app_.state() == QProcess::NotRunning; }, 10s));
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app_.exitCode(), 0);
    EXPECT_EQ(app_.readAllStandardOutput(), "");
    // --debug: where the data is looked for, at once, then one placement dump, two seconds after
    // the start. A StatusNotifierItem never learns its window or screen: zero rectangles.
    EXPECT_EQ(
        QString::fromUtf8(app_.readAllStandardError()),
        QStringLiteral("[debug] credential=%1/.credentials.json\n"
                       "[debug] transcripts=%1/projects\n[debug] transcripts=%2\n"
                       "[debug] length=41.0 visible=true\n[debug] window=(0.0, 0.0, 0.0, 0.0)\n"
                       "[debug] screen=(0.0, 0.0, 0.0, 0.0)\n")
            .arg(configFolder(), home_.file(".config/claude/projects")));
}

// Where no tray can show it (no watcher on the bus, and offscreen no XEmbed tray), the program says
// so once, after a grace for a tray that comes up with the session: on standard error and as a
// desktop notification. It keeps waiting: a watcher that comes later gets the item.
TEST_F(TrayEndToEndTest, SaysOnceThatNoTrayWasFoundAndShowsItselfWhenOneComes) {
    // A desktop's notification service: answers Notify with a notification's id.
    FakeService notifications(host_, "org.freedesktop.Notifications",
                              "/org/freedesktop/Notifications", "Notify", {1U});
    ASSERT_TRUE(notifications.start());
    startApp();
    ASSERT_TRUE(waitUntil([&] { return !notifications.calls().isEmpty(); }, 20s));
    const QVariantList call = notifications.calls().first().arguments;  // app, summary and body
    EXPECT_EQ(QVariantList({call.value(0), call.value(3)}),
              QVariantList({"Brimlet", "Brimlet: 트레이를 찾지 못했습니다"}));
    EXPECT_TRUE(call.value(4).toString().contains(u"AppIndicator"));
    ASSERT_TRUE(watcher_.start());
    ASSERT_TRUE(registeredTimes(1));
    EXPECT_TRUE(client().click(client().menu().idOf("종료")));
    ASSERT_TRUE(waitUntil([&] { return app_.state() == QProcess::NotRunning; }, 10s));
    EXPECT_EQ(notifications.calls().size(), 1);
    const QString err = QString::fromUtf8(app_.readAllStandardError());
    EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith(u"Brimlet: 트레이를 찾지 못했습니다. ")) << err.toStdString();
}

// Where no XEmbed tray can stand in, a dropped bus connection ends the program with a reason: no
// tray host could ever show it again.
TEST_F(TrayEndToEndTest, EndsWithAReasonWhenTheBusDropsAndNoOtherTrayExists) {
    ASSERT_TRUE(watcher_.start());
    startApp();
    ASSERT_TRUE(registeredTimes(1));
    bus_.stop();
    ASSERT_TRUE(waitUntil([&] { return app_.state() == QProcess::NotRunning; }));
    EXPECT_EQ(app_.exitCode(), 1);
    EXPECT_TRUE(app_.readAllStandardError().contains("세션 버스"));
}

// Hosts that keep what they learnt of an id (XFCE's, Plasma's and waybar's menus) draw a row with
// the kind the id first had, and GNOME's takes new texts only from ItemsPropertiesUpdated. Through
// every state of the menu, from before the first answer to a failed refresh and back, an id keeps
// its kind, and what such a host holds is what a fresh read shows; nothing sent is something a
// host logs as an error.
TEST_F(TrayEndToEndTest, EveryRowKeepsItsIdAndCachingHostsStayRight) {
    const ScriptedAnswer slow{.streamBytes = 4000, .pieceBytes = 400, .pieceInterval = 300ms};
    server_.script(
        {slow, ScriptedAnswer::ok(twoBuckets), {.status = 500}, ScriptedAnswer::ok(twoBuckets)});
    ASSERT_TRUE(watcher_.start());
    startApp();
    ASSERT_TRUE(registeredTimes(1));
    StatusItemClient item = client();
    std::map<int, QStringList> kinds;
    // Opens the menu as GNOME's extension does, waits for it to show `shown` and not `gone`, and
    // for its announcement.
    const auto expectRight = [&](const char* state, const QString& shown, const QString& gone) {
        SCOPED_TRACE(state);
        ASSERT_TRUE(item.event(0, "opened") && item.callMenu("AboutToShow", {0}));
        ASSERT_TRUE(waitUntil(
            [&] {
                const QStringList rows = item.menu().labels;
                return rows.contains(shown) && (gone.isEmpty() || !rows.contains(gone));
            },
            15s));
        // Read once its revision is announced (the first never is): a host that keeps what it
        // learnt has then been told every change.
        MenuSnapshot fresh;
        ASSERT_TRUE(waitUntil([&] {
            fresh = item.menu();
            return fresh.revision == 1 || (!item.layoutUpdates().isEmpty() &&
                                           item.layoutUpdates().last().revision == fresh.revision);
        }));
        EXPECT_EQ(item.learnt(fresh.rows), fresh.rows);
        for (const auto& [id, properties] : fresh.rows) {
            const QStringList kind{properties.value("type").toString(),
                                   properties.value("toggle-type").toString()};
            EXPECT_EQ(kinds.try_emplace(id, kind).first->second, kind) << "id " << id;
            // A shortcut is an error in hosts without a key table of their own (waybar's).
            EXPECT_FALSE(properties.contains("shortcut")) << "id " << id;
        }
        // A kind in an update is a warning in hosts that cannot apply it (LXQt's).
        EXPECT_FALSE(item.updatedNames().contains("type"));
        EXPECT_FALSE(item.updatedNames().contains("toggle-type"));
        EXPECT_TRUE(item.event(0, "closed"));
    };
    const QString session = "세션 (5시간)   63% 남음";
    const QString failed = "      갱신 실패 — HTTP 500";
    expectRight("before the first answer", "불러오는 중…", {});
    expectRight("the first answer failed", "잔량을 못 읽음 — 응답 형식이 바뀜", {});
    const int refresh = item.menu().idOf("지금 새로고침");
    EXPECT_TRUE(item.click(refresh));
    expectRight("a good answer", session, {});
    appendTo(transcripts()[0], replyLine("msg_01d", 400));
    expectRight("Claude Code at work", "작동 중 — Opus 20 tok/s", {});
    EXPECT_TRUE(item.click(refresh));  // answered 10 s after the last one asked
    expectRight("a failed refresh", failed, {});
    EXPECT_TRUE(item.click(refresh));
    expectRight("a good refresh again", session, failed);
}

}  // namespace
}  // namespace brimlet::test

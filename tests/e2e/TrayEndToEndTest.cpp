#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSize>

#include "support/BrimletProcess.h"
#include "support/CredentialFile.h"
#include "support/FakeStatusWatcher.h"
#include "support/FakeUsageServer.h"
#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/StatusItemClient.h"
#include "support/WaitUntil.h"

namespace brimlet::test {
namespace {

using namespace std::chrono_literals;

// The program under test is built to ask the fake usage service on this loopback port.
constexpr quint16 usagePort = BRIMLET_LOOPBACK_USAGE_PORT;

const QByteArray twoBuckets = R"({
    "five_hour": {"utilization": 36.6, "resets_at": "2026-12-05T15:00:00.528743+00:00"},
    "seven_day": {"utilization": 12.5, "resets_at": "2026-12-10T03:30:00+00:00"},
    "seven_day_opus": null, "extra_usage": {"is_enabled": false}})";

const QByteArray opusLine =
    R"({"type":"assistant","message":{"model":"claude-opus-4-1","usage":{"output_tokens":400}}})"
    "\n";

// The real program as the desktop runs it: a private session bus on which the test plays the
// tray host, a fake usage service, and a home folder holding a credential and a transcript.
class TrayEndToEndTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.address().isEmpty()) << "no dbus-daemon";
        ASSERT_TRUE(server_.isListening()) << "port " << usagePort;
        server_.script({ScriptedAnswer::ok(twoBuckets)});
        ASSERT_TRUE(writeCredentialFile(home_.path(), credentialJson(QStringLiteral("e2e-token"))));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(transcript()).path()));
        appendToTranscript("{\"type\":\"user\"}\n");
    }

    void TearDown() override {
        if (app_.state() != QProcess::NotRunning) {
            app_.kill();
            app_.waitForFinished();
        }
    }

    [[nodiscard]] QString transcript() const {
        return home_.file(QStringLiteral(".claude/projects/-home-kim-work/session.jsonl"));
    }
    void appendToTranscript(const QByteArray& bytes) const {
        QFile file(transcript());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(bytes);
    }

    void startApp(const QStringList& arguments = {}) {
        QProcessEnvironment environment = home_.environment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
        environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        app_.setProcessEnvironment(environment);
        app_.setWorkingDirectory(home_.path());
        app_.start(brimletBinary(), arguments);
        ASSERT_TRUE(app_.waitForStarted());
    }

    [[nodiscard]] bool registeredTimes(qsizetype count) const {
        return waitUntil([&] { return watcher_.registrations().size() >= count; }, 10s);
    }

    [[nodiscard]] StatusItemClient client() const {
        return StatusItemClient(host_, watcher_.registrations().last().sender);
    }

    // The menu as a host shows it: AboutToShow, then the layout's labels.
    [[nodiscard]] static QStringList openMenu(StatusItemClient& item) {
        if (item.aboutToShow() != true) {
            return {};
        }
        const std::optional<MenuSnapshot> menu = item.layout();
        QStringList labels;
        for (const MenuRow& row : menu ? menu->rows : QList<MenuRow>{}) {
            labels.append(row.type == u"separator" ? QStringLiteral("---") : row.label);
        }
        return labels;
    }

    [[nodiscard]] static bool menuShows(StatusItemClient& item, const QString& label) {
        return waitUntil([&] { return openMenu(item).contains(label); }, 10s);
    }

    [[nodiscard]] static int rowId(StatusItemClient& item, const QString& label) {
        for (const MenuRow& row : item.layout().value_or(MenuSnapshot{}).rows) {
            if (row.label == label) {
                return row.id;
            }
        }
        return -1;
    }

    TempHome home_;
    PrivateBus bus_;
    QDBusConnection host_ = bus_.connect(QStringLiteral("tray-host"));
    FakeStatusWatcher watcher_{host_};
    FakeUsageServer server_{usagePort};
    QProcess app_;
};

TEST_F(TrayEndToEndTest, ShowsTheGaugeAndTheMenuAndFollowsTheTrayHost) {
    ASSERT_TRUE(watcher_.start());
    startApp();
    ASSERT_TRUE(registeredTimes(1));
    StatusItemClient item = client();

    EXPECT_EQ(item.itemProperty("Id"), QVariant("com.zorvan.brimlet"));
    EXPECT_EQ(item.itemProperty("ItemIsMenu"), QVariant(true));
    QList<QSize> sizes;
    for (const auto& pixmap : item.iconPixmaps()) {
        sizes.append({pixmap.width, pixmap.height});
    }
    EXPECT_EQ(sizes, (QList<QSize>{{41, 22}, {82, 44}}));

    // One poll at start, with the token and the beta header.
    ASSERT_TRUE(waitUntil([&] { return !server_.requests().isEmpty(); }));
    const RecordedRequest& poll = server_.requests().first();
    EXPECT_EQ(poll.requestLine, "GET /api/oauth/usage HTTP/1.1");
    EXPECT_EQ(poll.header("Authorization"), "Bearer e2e-token");
    EXPECT_EQ(poll.header("anthropic-beta"), "oauth-2025-04-20");

    ASSERT_TRUE(menuShows(item, QStringLiteral("세션 (5시간)   63% 남음")));
    const QStringList menu = openMenu(item);
    ASSERT_EQ(menu.size(), 12) << menu.join(u'|').toStdString();
    EXPECT_EQ(menu.mid(0, 6), (QStringList{"세션 (5시간)   63% 남음",
                                           "      리셋 12월 5일 (토) 15:00", "주간 전체   88% 남음",
                                           "      리셋 12월 10일 (목) 03:30", "---", "대기 중"}));
    EXPECT_TRUE(menu.at(6).startsWith(QStringLiteral("마지막 갱신 ")));
    EXPECT_EQ(menu.mid(7), (QStringList{"---", "지금 새로고침", "로그인 시 자동 실행",
                                        "Brimlet 0.1.0", "종료"}));

    // Claude Code writes a reply: the activity line shows it within a tick.
    appendToTranscript(opusLine);
    EXPECT_TRUE(menuShows(item, QStringLiteral("작동 중 — Opus 20 tok/s")));

    EXPECT_TRUE(item.click(rowId(item, QStringLiteral("지금 새로고침"))));
    EXPECT_TRUE(waitUntil([&] { return server_.requests().size() == 2; }));

    EXPECT_TRUE(item.click(rowId(item, QStringLiteral("로그인 시 자동 실행"))));
    EXPECT_TRUE(waitUntil([&] {
        return QFileInfo::exists(
            home_.file(QStringLiteral(".config/autostart/com.zorvan.brimlet.desktop")));
    }));

    // The panel restarts: the item registers again with the new watcher.
    watcher_.stop();
    ASSERT_TRUE(watcher_.start());
    ASSERT_TRUE(registeredTimes(2));

    EXPECT_TRUE(client().click(rowId(item, QStringLiteral("종료"))));
    ASSERT_TRUE(waitUntil([&] { return app_.state() == QProcess::NotRunning; }, 10s));
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app_.exitCode(), 0);
    EXPECT_EQ(app_.readAllStandardOutput(), "");
    EXPECT_EQ(app_.readAllStandardError(), "");
}

TEST_F(TrayEndToEndTest, WaitsQuietlyForATrayHostToAppear) {
    startApp();
    ASSERT_TRUE(waitUntil([&] { return !server_.requests().isEmpty(); }));
    EXPECT_EQ(app_.state(), QProcess::Running);
    ASSERT_TRUE(watcher_.start());
    ASSERT_TRUE(registeredTimes(1));
    StatusItemClient item = client();
    EXPECT_TRUE(menuShows(item, QStringLiteral("주간 전체   88% 남음")));
    app_.terminate();
    ASSERT_TRUE(waitUntil([&] { return app_.state() == QProcess::NotRunning; }));
    EXPECT_EQ(app_.readAllStandardOutput(), "");
    EXPECT_EQ(app_.readAllStandardError(), "");
}

TEST_F(TrayEndToEndTest, DebugWritesThePlacementOnceAfterTwoSeconds) {
    ASSERT_TRUE(watcher_.start());
    startApp({QStringLiteral("--debug")});
    QByteArray dump;
    const auto collect = [&] {
        dump += app_.readAllStandardError();
        return dump.endsWith(")\n");
    };
    ASSERT_TRUE(waitUntil(collect, 8s)) << dump.toStdString();
    // A tray item on this protocol never learns its window or screen: zero rectangles.
    EXPECT_EQ(dump,
              "[debug] length=41.0 visible=true\n"
              "[debug] window=(0.0, 0.0, 0.0, 0.0)\n"
              "[debug] screen=(0.0, 0.0, 0.0, 0.0)\n");
}

}  // namespace
}  // namespace brimlet::test

#include <gtest/gtest.h>
#include <signal.h>

#include <QDBusConnectionInterface>
#include <QFile>
#include <QFileInfo>

#include "login/XdgAutostart.h"
#include "support/BrimletProcess.h"
#include "support/PrivateBus.h"
#include "support/QtPrinters.h"

namespace brimlet::test {
namespace {

// The config folder comes from XDG_CONFIG_HOME here, so that the program is seen to read it.
class EntryProcessTest : public testing::Test {
  protected:
    [[nodiscard]] QString autostartEntry() const {
        return home_.file("cfg/autostart/com.zorvan.brimlet.desktop");
    }
    [[nodiscard]] RunResult run(const QStringList& arguments) const {
        QProcessEnvironment environment = home_.environment();
        environment.insert("XDG_CONFIG_HOME", home_.file("cfg"));
        return runBrimlet(arguments, environment, home_.path());
    }

    TempHome home_;
};

constexpr const char* switchedOn = "로그인 시 자동 실행: 켜짐\n";
constexpr const char* switchedOff = "로그인 시 자동 실행: 꺼짐\n";

TEST_F(EntryProcessTest, LoginSwitchesReportTheStateReadBackOrWhyTheyFailed) {
    const struct {
        QStringList arguments;
        const char* line;
        bool enabledAfter;
    } steps[] = {
        {{"--login-off"}, switchedOff, false},  // already off: still a success
        {{"--login-on"}, switchedOn, true},
        {{"--login-on", "--selftest", "x.png"}, switchedOn, true},  // again, and no self-test
        {{"--login-off"}, switchedOff, false},
    };
    for (const auto& step : steps) {
        const RunResult result = run(step.arguments);
        const std::string what = step.arguments.join(u' ').toStdString();
        EXPECT_EQ(result.exitCode, 0) << what;
        EXPECT_EQ(result.out, step.line) << what;
        EXPECT_EQ(result.err, "") << what;
        EXPECT_EQ(QFileInfo::exists(autostartEntry()), step.enabledAfter) << what;
        if (step.enabledAfter) {  // the entry starts this very program
            QFile entry(autostartEntry());
            ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
            const QString executable =
                QFileInfo(QStringLiteral(BRIMLET_BINARY)).canonicalFilePath();
            EXPECT_EQ(entry.readAll(), ("[Desktop Entry]\nType=Application\nVersion=1.0\n"
                                        "Name=Brimlet\nComment=Claude Code 사용량 게이지\nExec=" +
                                        execValue(executable) + "\nTryExec=" + executable +
                                        "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n")
                                           .toUtf8());
        }
    }
    EXPECT_FALSE(QFileInfo::exists(home_.file("x.png")));

    // A file where the config folder must go: one line naming the folder, and status 1.
    ASSERT_TRUE(QDir(home_.file("cfg")).removeRecursively());
    QFile blocker(home_.file("cfg"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const RunResult failed = run({"--login-on"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.out.startsWith(
        (QStringLiteral("로그인 항목 실패 — ") + home_.path() + QStringLiteral("/cfg/autostart: "))
            .toUtf8()))
        << failed.out.toStdString();
    EXPECT_EQ(failed.out.count('\n'), 1);
    EXPECT_TRUE(failed.out.endsWith('\n'));
    EXPECT_EQ(failed.err, "");
}

// The menu-bar application, started in the background: it runs until it is stopped.
class MenuBarProcess : public BackgroundBrimlet {
  public:
    MenuBarProcess(const QStringList& arguments, const QProcessEnvironment& environment) {
        start(arguments, environment);
    }

    [[nodiscard]] bool running() const { return state() == QProcess::Running; }
    // Signals it to stop and returns its exit status; -1 when it did not end normally.
    [[nodiscard]] int stop(int signal) {
        const auto pid = static_cast<pid_t>(processId());
        if (pid <= 0) {  // gone already: kill(0) would signal this test's whole process group
            return -1;
        }
        ::kill(pid, signal);
        if (!waitForFinished(10000) || exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return exitCode();
    }
    [[nodiscard]] QByteArray output() { return readAll(); }
    // Whether it holds SIGTERM back (blocked), as it does while Qt starts.
    [[nodiscard]] bool holdsStopSignals() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(processId()));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
        const qsizetype at = text.indexOf("SigBlk:");
        return at >= 0 && (text.mid(at + 7, 18).trimmed().toULongLong(nullptr, 16) &
                           (1ULL << (SIGTERM - 1))) != 0;
    }
};

// One copy per session, claimed by a lock in the runtime folder (and by a name on the bus where
// there is one, which a copy started without the bus never sees). Qt gets none of the arguments:
// "-platform xcb" without an X server would otherwise end the program. Asked to stop by any of the
// usual signals, it ends as its quit item does, with status 0, and frees the session for the next.
TEST_F(EntryProcessTest, OneMenuBarCopyPerSessionRunsUntilItIsAskedToStop) {
    QProcessEnvironment environment = home_.environment();
    environment.insert("DISPLAY", ":999");
    const QString lock = home_.file("com.zorvan.brimlet.lock");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        MenuBarProcess first({"-platform", "xcb", "--selftest=out.png"}, environment);
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(lock) || !first.running(); }));
        ASSERT_TRUE(first.running());
        const RunResult second = runBrimlet({}, environment);
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_EQ(second.out, "Brimlet이 이미 실행 중입니다\n");
        EXPECT_EQ(first.stop(signal), 0);
        EXPECT_EQ(first.output(), "");
    }
    // Also while Qt still starts, when the handler cannot be in place yet.
    MenuBarProcess starting({}, environment);
    ASSERT_TRUE(waitUntil([&] { return starting.holdsStopSignals(); }));
    EXPECT_EQ(starting.stop(SIGTERM), 0);
    EXPECT_FALSE(QFileInfo::exists(home_.file("out.png")));
    QProcessEnvironment x11 = environment;  // where there is no display, it ends with a reason
    x11.insert("QT_QPA_PLATFORM", "xcb");
    const RunResult withoutDisplay = runBrimlet({}, x11);
    EXPECT_EQ(withoutDisplay.exitCode, 1);
    EXPECT_EQ(withoutDisplay.out, "");
    EXPECT_FALSE(withoutDisplay.err.isEmpty());

    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    const QDBusConnection watcher = bus.connect("watcher");
    MenuBarProcess onBus({}, environment);
    ASSERT_TRUE(
        waitUntil([&] { return watcher.interface()->isServiceRegistered("com.zorvan.brimlet"); }));
    EXPECT_EQ(runBrimlet({}, environment).out, "Brimlet이 이미 실행 중입니다\n");
    EXPECT_EQ(runBrimlet({}, home_.environment(), {}, 10000).out, "Brimlet이 이미 실행 중입니다\n");
}

}  // namespace
}  // namespace brimlet::test

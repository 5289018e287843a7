#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "login/XdgAutostart.h"
#include "support/BrimletProcess.h"
#include "support/QtPrinters.h"

namespace brimlet::test {
namespace {

class EntryProcessTest : public testing::Test {
  protected:
    [[nodiscard]] QString autostartEntry() const {
        return home_.file(QStringLiteral(".config/autostart/com.zorvan.brimlet.desktop"));
    }
    [[nodiscard]] RunResult run(const QStringList& arguments) const {
        return runBrimlet(arguments, home_.environment(), home_.path());
    }

    TempHome home_;
};

constexpr const char* switchedOn = "로그인 시 자동 실행: 켜짐\n";
constexpr const char* switchedOff = "로그인 시 자동 실행: 꺼짐\n";

TEST_F(EntryProcessTest, LoginSwitchesReportTheStateReadBack) {
    const struct {
        QStringList arguments;
        const char* line;
        bool enabledAfter;
    } steps[] = {
        {{"--login-off"}, switchedOff, false},  // already off: still a success
        {{"--login-on"}, switchedOn, true},    {{"--login-on"}, switchedOn, true},
        {{"--login-off"}, switchedOff, false}, {{"--login-off", "--login-on"}, switchedOn, true},
        {{"--login-off"}, switchedOff, false}, {{"--login-on", "--login-off"}, switchedOn, true},
    };
    for (const auto& step : steps) {
        const RunResult result = run(step.arguments);
        const std::string what = step.arguments.join(u' ').toStdString();
        ASSERT_TRUE(result.finished) << what;
        EXPECT_EQ(result.exitCode, 0) << what;
        EXPECT_EQ(result.out, step.line) << what;
        EXPECT_EQ(result.err, "") << what;
        EXPECT_EQ(QFileInfo::exists(autostartEntry()), step.enabledAfter) << what;
    }
}

TEST_F(EntryProcessTest, TheAutostartEntryStartsThisExecutable) {
    ASSERT_EQ(run({"--login-on"}).exitCode, 0);
    QFile entry(autostartEntry());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    const QString executable = QFileInfo(brimletBinary()).canonicalFilePath();
    const QString lines = "\nExec=" + execValue(executable) + "\nTryExec=" + executable + u'\n';
    EXPECT_TRUE(text.contains(lines.toUtf8())) << text.toStdString();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\n"));
}

TEST_F(EntryProcessTest, LoginSwitchesWinOverTheSelfTest) {
    const RunResult result = run({"--login-on", "--selftest", "x.png"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, switchedOn);
    EXPECT_FALSE(QFileInfo::exists(home_.file(QStringLiteral("x.png"))));
}

TEST_F(EntryProcessTest, AFailureIsOneLineAndStatusOne) {
    QFile blocker(home_.file(QStringLiteral(".config")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const RunResult result = run({"--login-on"});
    EXPECT_EQ(result.exitCode, 1);
    const QString out = QString::fromUtf8(result.out);
    EXPECT_TRUE(out.startsWith(QStringLiteral("로그인 항목 실패 — ") + home_.path() +
                               QStringLiteral("/.config/autostart: ")))
        << result.out.toStdString();
    EXPECT_TRUE(out.endsWith(u'\n'));
    EXPECT_EQ(out.count(u'\n'), 1);
    EXPECT_EQ(result.err, "");
}

TEST_F(EntryProcessTest, ConfigHomeFromTheEnvironmentIsHonoured) {
    QProcessEnvironment environment = home_.environment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.file(QStringLiteral("cfg")));
    const RunResult result = runBrimlet({"--login-on"}, environment);
    EXPECT_EQ(result.out, switchedOn);
    EXPECT_TRUE(
        QFileInfo::exists(home_.file(QStringLiteral("cfg/autostart/com.zorvan.brimlet.desktop"))));
}

// Anything that is not a whole switch leaves the menu-bar application to start; it keeps running
// quietly until it is stopped.
TEST_F(EntryProcessTest, UnknownArgumentsStartTheMenuBarApplication) {
    for (const QStringList& arguments :
         {QStringList{"--login"}, QStringList{"--selftest=out.png"}}) {
        QProcess process;
        process.setProcessEnvironment(home_.environment());
        process.setWorkingDirectory(home_.path());
        process.start(brimletBinary(), arguments);
        ASSERT_TRUE(process.waitForStarted());
        EXPECT_FALSE(process.waitForFinished(1500)) << arguments.join(u' ').toStdString();
        process.terminate();
        process.waitForFinished();
        EXPECT_EQ(process.readAllStandardOutput(), "");
        EXPECT_EQ(process.readAllStandardError(), "");
        EXPECT_FALSE(QFileInfo::exists(home_.file(QStringLiteral("out.png"))));
        EXPECT_FALSE(QFileInfo::exists(autostartEntry()));
    }
}

TEST_F(EntryProcessTest, WithoutADisplayTheMenuBarApplicationEndsWithAReason) {
    QProcessEnvironment environment = home_.environment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":999"));
    const RunResult result = runBrimlet({}, environment);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(result.err.isEmpty());
}

}  // namespace
}  // namespace brimlet::test

#include "app/Entry.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>

#include "app/AppVersion.h"
#include "app/CommandLine.h"
#include "app/InfoDictionary.h"
#include "app/QuitOnSignals.h"
#include "app/SelfTest.h"
#include "app/SessionClaim.h"
#include "base/ConsoleOutput.h"
#include "login/LoginItem.h"
#include "ui/AppDelegate.h"
#include "ui/PulseCadence.h"

namespace brimlet {
namespace {

// The program keeps no log and writes nothing to standard error on its own, so Qt's diagnostics
// (missing tray host, platform plugin chatter) are dropped. Only a fatal one, when Qt cannot go on
// (no display to connect to), is passed on, and the program then ends with status 1 instead of
// aborting.
void quietQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        printError(message + u'\n');
        std::_Exit(1);
    }
}

QStringList argumentList(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

// What Qt is given of the command line: the program name only. Qt would otherwise take options
// such as -platform or -style from it, and Brimlet's switches are its only arguments.
struct QtArguments {
    explicit QtArguments(char* programName) : argv{programName, nullptr} {}
    int argc = 1;
    char* argv[2];
};

int runLoginSwitch(char* programName, bool enable) {
    QtArguments qt(programName);
    const QCoreApplication application(qt.argc, qt.argv);  // LoginItem needs the program's path
    if (const std::optional<QString> error = LoginItem::set(enable)) {
        printLine(QStringLiteral("로그인 항목 실패 — ") + *error);
        return 1;
    }
    printLine(QStringLiteral("로그인 시 자동 실행: ") +
              (LoginItem::isEnabled() ? QStringLiteral("켜짐") : QStringLiteral("꺼짐")));
    return 0;
}

int runSelfTestUse(char* programName, const QString& out) {
    QtArguments qt(programName);
    const QCoreApplication application(qt.argc, qt.argv);
    return runSelfTest(out);
}

int runMenuBar(char* programName, bool debug) {
    QuitOnSignals::holdStopSignals();
    QtArguments qt(programName);
    QApplication application(qt.argc, qt.argv);
    // Before the claim, so that a signal arriving once the session is ours ends the loop too.
    const QuitOnSignals quitOnSignals;
    const std::optional<SessionClaim> claim = SessionClaim::take();
    if (!claim) {
        printLine(QStringLiteral("Brimlet이 이미 실행 중입니다"));
        return 0;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    AppDelegate delegate(appVersion, debug, createStatusItem, platformPulseCadence());
    // The delegate hears about the finished launch from inside the running event loop, once.
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}

}  // namespace

int runEntry(int argc, char* argv[]) {
    qInstallMessageHandler(quietQtMessage);
    appVersion = versionFromInfo(mainInfoDictionary());
    const UseChoice choice = chooseUse(argumentList(argc, argv));
    // A program started with an empty argument list still needs a name for Qt.
    char fallbackName[] = "brimlet";
    char* const programName = argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName;
    switch (choice.use) {
        case Use::LoginOn:
            return runLoginSwitch(programName, true);
        case Use::LoginOff:
            return runLoginSwitch(programName, false);
        case Use::SelfTest:
            return runSelfTestUse(programName, choice.selfTestPath);
        case Use::MenuBar:
            break;
    }
    return runMenuBar(programName, choice.debug);
}

}  // namespace brimlet

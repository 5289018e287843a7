#include "app/Entry.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>

#include "app/AppVersion.h"
#include "app/CommandLine.h"
#include "app/InfoDictionary.h"
#include "app/SelfTest.h"
#include "base/ConsoleOutput.h"
#include "login/LoginItem.h"
#include "ui/AppDelegate.h"

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

int runLoginSwitch(int argc, char* argv[], bool enable) {
    const QCoreApplication application(argc, argv);  // gives LoginItem the executable's path
    if (const std::optional<QString> error = LoginItem::set(enable)) {
        printLine(QStringLiteral("로그인 항목 실패 — ") + *error);
        return 1;
    }
    printLine(QStringLiteral("로그인 시 자동 실행: ") +
              (LoginItem::isEnabled() ? QStringLiteral("켜짐") : QStringLiteral("꺼짐")));
    return 0;
}

int runSelfTestUse(int argc, char* argv[], const QString& out) {
    const QCoreApplication application(argc, argv);
    return runSelfTest(out);
}

int runMenuBar(int argc, char* argv[], bool debug) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    AppDelegate delegate(appVersion, debug, createStatusItem);
    // The delegate hears about the finished launch from inside the running event loop, once.
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}

}  // namespace

int runEntry(int argc, char* argv[]) {
    qInstallMessageHandler(quietQtMessage);
    appVersion = versionFromInfo(mainInfoDictionary());
    const UseChoice choice = chooseUse(argumentList(argc, argv));
    switch (choice.use) {
        case Use::LoginOn:
            return runLoginSwitch(argc, argv, true);
        case Use::LoginOff:
            return runLoginSwitch(argc, argv, false);
        case Use::SelfTest:
            return runSelfTestUse(argc, argv, choice.selfTestPath);
        case Use::MenuBar:
            break;
    }
    return runMenuBar(argc, argv, choice.debug);
}

}  // namespace brimlet

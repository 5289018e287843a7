#include "support/BrimletProcess.h"

#include "support/WaitUntil.h"

namespace brimlet::test {

TempHome::TempHome() : dir_(QDir::tempPath() + QStringLiteral("/brimlet-home-XXXXXX")) {}

QProcessEnvironment TempHome::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), path());
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    environment.remove(QStringLiteral("CLAUDE_CONFIG_DIR"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + path() + QStringLiteral("/no-bus"));
    return environment;
}

QString brimletBinary() {
    return QStringLiteral(BRIMLET_BINARY);
}

RunResult runBrimlet(const QStringList& arguments, const QProcessEnvironment& environment,
                     const QString& workingDirectory, int timeoutMs) {
    BackgroundBrimlet process;
    RunResult result;
    if (!process.start(arguments, environment, workingDirectory)) {
        return result;
    }
    // The event loop keeps turning meanwhile, so servers living in the test (a fake usage
    // service, a tray host) can answer the program. One still running then is killed.
    (void)waitUntil([&process] { return process.state() == QProcess::NotRunning; },
                    std::chrono::milliseconds(timeoutMs));
    process.kill();
    process.waitForFinished();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

}  // namespace brimlet::test

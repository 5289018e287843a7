#pragma once

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/WaitUntil.h"

namespace brimlet::test {

// A fresh home folder for one run of the program, removed afterwards.
class TempHome {
  public:
    TempHome() : dir_(QDir::tempPath() + QStringLiteral("/brimlet-home-XXXXXX")) {}

    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] QString file(const QString& relative) const {
        return dir_.path() + u'/' + relative;
    }
    // The test process's environment with HOME pointing here, no XDG_CONFIG_HOME nor
    // CLAUDE_CONFIG_DIR, the offscreen platform and no reachable session bus.
    [[nodiscard]] QProcessEnvironment environment() const {
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

  private:
    QTemporaryDir dir_;
};

struct RunResult {
    int exitCode = -1;  // -1 also when it had to be killed after the time limit
    QByteArray out;
    QByteArray err;
};

// The program run in the background; killed, if it still runs, when this goes.
class BackgroundBrimlet : public QProcess {
  public:
    ~BackgroundBrimlet() override {
        kill();
        waitForFinished();
    }
    // Starts it with the arguments (program path not included) and environment, in the working
    // folder when one is given; false when it did not start.
    bool start(const QStringList& arguments, const QProcessEnvironment& environment,
               const QString& workingDirectory = {}) {
        setProcessEnvironment(environment);
        setWorkingDirectory(workingDirectory);
        QProcess::start(QStringLiteral(BRIMLET_BINARY), arguments);
        return waitForStarted();
    }
};

// Runs the built program to its end with the given arguments (program path not included). The
// event loop keeps turning meanwhile, so servers living in the test (a fake usage service, a tray
// host) can answer the program. One still running after the time limit is killed.
[[nodiscard]] inline RunResult runBrimlet(const QStringList& arguments,
                                          const QProcessEnvironment& environment,
                                          const QString& workingDirectory = {},
                                          int timeoutMs = 60000) {
    BackgroundBrimlet process;
    RunResult result;
    if (process.start(arguments, environment, workingDirectory)) {
        (void)waitUntil([&process] { return process.state() == QProcess::NotRunning; },
                        std::chrono::milliseconds(timeoutMs));
        process.kill();
        process.waitForFinished();
        result = {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                  process.readAllStandardOutput(), process.readAllStandardError()};
    }
    return result;
}

}  // namespace brimlet::test

#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace brimlet::test {

// A fresh home folder for one run of the program, removed afterwards.
class TempHome {
  public:
    TempHome();

    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] QString file(const QString& relative) const {
        return dir_.path() + u'/' + relative;
    }
    // The test process's environment with HOME pointing here, no XDG_CONFIG_HOME nor
    // CLAUDE_CONFIG_DIR, the offscreen platform and no reachable session bus.
    [[nodiscard]] QProcessEnvironment environment() const;

  private:
    QTemporaryDir dir_;
};

struct RunResult {
    int exitCode = -1;  // -1 also when it had to be killed after the time limit
    QByteArray out;
    QByteArray err;
};

// Runs the built program to its end with the given arguments (program path not included).
[[nodiscard]] RunResult runBrimlet(const QStringList& arguments,
                                   const QProcessEnvironment& environment,
                                   const QString& workingDirectory = {}, int timeoutMs = 60000);

[[nodiscard]] QString brimletBinary();

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
        QProcess::start(brimletBinary(), arguments);
        return waitForStarted();
    }
};

}  // namespace brimlet::test

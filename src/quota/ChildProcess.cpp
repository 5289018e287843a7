#include "quota/ChildProcess.h"

#include <QProcess>

namespace brimlet {
namespace {

// Reads standard output until it ends; false as soon as it grows past maxBytes.
[[nodiscard]] bool readToEnd(QProcess& process, QByteArray& output, qint64 maxBytes) {
    do {
        output += process.readAllStandardOutput();
        if (output.size() > maxBytes) {
            return false;
        }
    } while (process.waitForReadyRead(-1));
    output += process.readAllStandardOutput();
    return output.size() <= maxBytes;
}

}  // namespace

std::optional<QByteArray> runForOutput(const QString& program, const QStringList& arguments,
                                       qint64 maxBytes) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        return std::nullopt;
    }
    // Reading comes first and waiting second: a child blocked on a full output pipe never exits.
    QByteArray output;
    const bool complete = readToEnd(process, output, maxBytes);
    if (!complete) {
        process.kill();
    }
    process.waitForFinished(-1);
    if (!complete || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return output;
}

}  // namespace brimlet

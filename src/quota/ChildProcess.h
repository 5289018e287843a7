#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace brimlet {

// Runs a program to its end, blocking the calling thread, and returns everything it wrote to
// standard output. Nothing when it cannot be launched, does not exit normally with status 0, or
// writes more than maxBytes (it is killed then). Standard input is empty and standard error is
// discarded: it never reaches our own output, and a tool that writes much there cannot stall on
// a full pipe that nobody reads.
[[nodiscard]] std::optional<QByteArray> runForOutput(const QString& program,
                                                     const QStringList& arguments, qint64 maxBytes);

}  // namespace brimlet

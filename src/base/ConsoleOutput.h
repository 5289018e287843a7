#pragma once

#include <QString>

namespace brimlet {

// Writes one message as a UTF-8 line to standard output and flushes it at once, so that lines
// reach a pipe in order even when the process ends right after.
void printLine(const QString& line);

// Writes text as UTF-8 to standard error, unchanged, and flushes it.
void printError(const QString& text);

}  // namespace brimlet

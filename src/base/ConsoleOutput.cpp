#include "base/ConsoleOutput.h"

#include <cstdio>

namespace brimlet {
namespace {

void writeAll(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

void printLine(const QString& line) {
    writeAll(stdout, (line + u'\n').toUtf8());
}

void printError(const QString& text) {
    writeAll(stderr, text.toUtf8());
}

}  // namespace brimlet

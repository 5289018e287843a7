#include "app/SelfTest.h"

#include "app/ConsoleOutput.h"

namespace brimlet {

// Placeholder until the quota client and the gauge exist: nothing can be drawn yet.
int runSelfTest(const QString&) {
    printLine(QStringLiteral("렌더 실패"));
    return 1;
}

}  // namespace brimlet

#include "app/CommandLine.h"

namespace brimlet {

UseChoice chooseUse(const QStringList& arguments) {
    if (arguments.contains(u"--login-on")) {
        return {Use::LoginOn, {}};
    }
    if (arguments.contains(u"--login-off")) {
        return {Use::LoginOff, {}};
    }
    const qsizetype selfTest = arguments.indexOf(u"--selftest");
    if (selfTest >= 0) {
        const qsizetype pathIndex = selfTest + 1;
        return {Use::SelfTest,
                pathIndex < arguments.size() ? arguments.at(pathIndex) : defaultSelfTestPath};
    }
    return {Use::MenuBar, {}};
}

}  // namespace brimlet

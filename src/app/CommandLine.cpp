#include "app/CommandLine.h"

namespace brimlet {

UseChoice chooseUse(const QStringList& arguments) {
    const bool debug = arguments.contains(u"--debug");
    if (arguments.contains(u"--login-on")) {
        return {Use::LoginOn, {}, debug};
    }
    if (arguments.contains(u"--login-off")) {
        return {Use::LoginOff, {}, debug};
    }
    const qsizetype selfTest = arguments.indexOf(u"--selftest");
    if (selfTest >= 0) {
        const qsizetype pathIndex = selfTest + 1;
        return {Use::SelfTest,
                pathIndex < arguments.size() ? arguments.at(pathIndex) : defaultSelfTestPath,
                debug};
    }
    return {Use::MenuBar, {}, debug};
}

}  // namespace brimlet

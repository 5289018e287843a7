#pragma once

#include <QString>
#include <QStringList>

namespace brimlet {

// The four things one run of the program can do; exactly one is chosen per process.
enum class Use { LoginOn, LoginOff, SelfTest, MenuBar };

struct UseChoice {
    Use use = Use::MenuBar;
    QString selfTestPath;  // only for Use::SelfTest
    bool debug = false;    // --debug anywhere; only the menu-bar application acts on it
};

inline const QString defaultSelfTestPath = QStringLiteral("/tmp/brimlet.png");

// Picks the use from the whole argument list, program path included. Switches count only as whole
// arguments; the login switches win over --selftest, which wins over the menu-bar application.
[[nodiscard]] UseChoice chooseUse(const QStringList& arguments);

}  // namespace brimlet

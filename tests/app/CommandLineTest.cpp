#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

// Switches count only as whole arguments, anywhere (the program path included): the login
// switches win over --selftest, which wins over the menu-bar application; --debug is noted for
// the menu-bar application whatever else is there.
TEST(CommandLineTest, PicksOneUse) {
    const struct {
        QStringList arguments;
        Use use;
        QString path;
        bool debug = false;
    } cases[] = {
        {{"brimlet", "--login-on"}, Use::LoginOn, {}},
        {{"brimlet", "--login-off"}, Use::LoginOff, {}},
        {{"brimlet", "--login-on", "--login-off"}, Use::LoginOn, {}},
        {{"brimlet", "--login-off", "--login-on"}, Use::LoginOn, {}},
        {{"brimlet", "--login-on", "--selftest", "x.png"}, Use::LoginOn, {}},
        {{"brimlet", "--selftest", "x.png", "--login-off"}, Use::LoginOff, {}},
        {{"brimlet", "--selftest"}, Use::SelfTest, "/tmp/brimlet.png"},
        {{"brimlet", "--selftest", "out.png"}, Use::SelfTest, "out.png"},
        {{"brimlet", "--selftest", "--debug"}, Use::SelfTest, "--debug", true},
        {{"brimlet", "--selftest", "a.png", "--selftest", "b.png"}, Use::SelfTest, "a.png"},
        {{"--selftest", "first.png"}, Use::SelfTest, "first.png"},
        {{"brimlet"}, Use::MenuBar, {}},
        {{"brimlet", "--debug"}, Use::MenuBar, {}, true},
        {{"brimlet", "--selftest=out.png", "--debug=1"}, Use::MenuBar, {}},
        {{"brimlet", "--LOGIN-ON", "-selftest"}, Use::MenuBar, {}},
    };
    for (const auto& c : cases) {
        const UseChoice choice = chooseUse(c.arguments);
        const std::string what = c.arguments.join(u' ').toStdString();
        EXPECT_EQ(choice.use, c.use) << what;
        EXPECT_EQ(choice.selfTestPath, c.path) << what;
        EXPECT_EQ(choice.debug, c.debug) << what;
    }
}

}  // namespace
}  // namespace brimlet

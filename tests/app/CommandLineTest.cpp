#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

struct ChoiceCase {
    QStringList arguments;
    Use use;
    QString path;
};

class ChooseUseTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseUseTest, PicksOneUse) {
    const ChoiceCase& c = GetParam();
    const UseChoice choice = chooseUse(c.arguments);
    EXPECT_EQ(choice.use, c.use) << c.arguments.join(u' ').toStdString();
    EXPECT_EQ(choice.selfTestPath, c.path) << c.arguments.join(u' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ChooseUseTest,
    testing::Values(
        ChoiceCase{{"brimlet", "--login-on"}, Use::LoginOn, {}},
        ChoiceCase{{"brimlet", "--login-off"}, Use::LoginOff, {}},
        ChoiceCase{{"brimlet", "--login-on", "--login-off"}, Use::LoginOn, {}},
        ChoiceCase{{"brimlet", "--login-off", "--login-on"}, Use::LoginOn, {}},
        ChoiceCase{{"brimlet", "--login-on", "--selftest", "x.png"}, Use::LoginOn, {}},
        ChoiceCase{{"brimlet", "--selftest", "x.png", "--login-off"}, Use::LoginOff, {}},
        ChoiceCase{{"brimlet", "--selftest"}, Use::SelfTest, "/tmp/brimlet.png"},
        ChoiceCase{{"brimlet", "--selftest", "out.png"}, Use::SelfTest, "out.png"},
        ChoiceCase{{"brimlet", "--selftest", "--debug"}, Use::SelfTest, "--debug"},
        ChoiceCase{
            {"brimlet", "--selftest", "a.png", "--selftest", "b.png"}, Use::SelfTest, "a.png"},
        ChoiceCase{{"brimlet", "--selftest", "~/x.png"}, Use::SelfTest, "~/x.png"},
        ChoiceCase{{"--selftest", "first.png"}, Use::SelfTest, "first.png"},
        ChoiceCase{{"brimlet"}, Use::MenuBar, {}},
        ChoiceCase{{"brimlet", "--debug"}, Use::MenuBar, {}},
        ChoiceCase{{"brimlet", "--login"}, Use::MenuBar, {}},
        ChoiceCase{{"brimlet", "--selftest=out.png"}, Use::MenuBar, {}},
        ChoiceCase{{"brimlet", "--LOGIN-ON", "-selftest"}, Use::MenuBar, {}}));

}  // namespace
}  // namespace brimlet

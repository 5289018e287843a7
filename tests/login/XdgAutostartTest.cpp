#include <gtest/gtest.h>

#include "login/XdgAutostart.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

TEST(XdgAutostartTest, QuotesTheExecutableForTheExecKeyWhenItNeedsQuotes) {
    const struct {
        QString path;
        QString exec;
    } cases[] = {
        {"/usr/bin/brimlet", "/usr/bin/brimlet"},
        {"/home/kim/My Apps/brimlet", R"("/home/kim/My Apps/brimlet")"},
        {R"(/opt/"q"/brimlet)", R"("/opt/\\"q\\"/brimlet")"},
        {"/opt/$HOME/`x`/brimlet", R"("/opt/\\$HOME/\\`x\\`/brimlet")"},
        {R"(/opt/back\slash/brimlet)", R"("/opt/back\\\\slash/brimlet")"},
        {"/opt/100%/brimlet", "/opt/100%%/brimlet"},
        {"/opt/line\nbreak/brimlet", R"("/opt/line\nbreak/brimlet")"},
        {"/opt/a&b;c<d>|e/브림렛", R"("/opt/a&b;c<d>|e/브림렛")"},
        {"", R"("")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(execValue(c.path), c.exec) << c.path.toStdString();
    }
    // TryExec names a file, not a command line: no quotes.
    EXPECT_TRUE(
        autostartEntryContent(QStringLiteral("/opt/my apps/brimlet"))
            .bytes.contains("\nExec=\"/opt/my apps/brimlet\"\nTryExec=/opt/my apps/brimlet\n"));
}

TEST(XdgAutostartTest, FindsTheConfigFolder) {
    const auto pathWith = [](const char* configHome) {
        QProcessEnvironment environment;
        if (configHome != nullptr) {
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromUtf8(configHome));
        }
        return autostartEntryPath(environment, QStringLiteral("/home/kim"));
    };
    EXPECT_EQ(pathWith(nullptr), "/home/kim/.config/autostart/com.zorvan.brimlet.desktop");
    EXPECT_EQ(pathWith(""), "/home/kim/.config/autostart/com.zorvan.brimlet.desktop");
    EXPECT_EQ(pathWith("relative/cfg"), "/home/kim/.config/autostart/com.zorvan.brimlet.desktop");
    EXPECT_EQ(pathWith("/srv/cfg"), "/srv/cfg/autostart/com.zorvan.brimlet.desktop");
}

}  // namespace
}  // namespace brimlet

#include <gtest/gtest.h>

#include <QDir>

#include "base/ClaudeFolders.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

// Claude Code's configuration folder is $CLAUDE_CONFIG_DIR when set and not empty, else ~/.claude;
// transcripts are read under it and under ~/.config/claude, each folder once.
TEST(ClaudeFoldersTest, FindsTheFoldersAsClaudeCodeDoes) {
    const struct {
        const char* configDir;  // nullptr: not set
        QStringList roots;      // the first is the configuration folder's
    } cases[] = {
        {nullptr, {"/h/.claude/projects", "/h/.config/claude/projects"}},
        {"", {"/h/.claude/projects", "/h/.config/claude/projects"}},
        {"/srv/cc/", {"/srv/cc/projects", "/h/.config/claude/projects"}},
        {"/h/.config/claude", {"/h/.config/claude/projects"}},
        {"rel", {QDir::current().absoluteFilePath("rel/projects"), "/h/.config/claude/projects"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.configDir != nullptr ? c.configDir : "(not set)");
        QProcessEnvironment environment;
        if (c.configDir != nullptr) {
            environment.insert(QStringLiteral("CLAUDE_CONFIG_DIR"), QString::fromUtf8(c.configDir));
        }
        EXPECT_EQ(claudeConfigFolder(environment, "/h") + "/projects", c.roots.first());
        EXPECT_EQ(transcriptRoots(environment, "/h"), c.roots);
    }
}

}  // namespace
}  // namespace brimlet

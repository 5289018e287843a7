#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>

#include "login/AgentFile.h"
#include "login/LaunchAgent.h"
#include "login/XdgAutostart.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

// Both file mechanisms follow the same rules; each test runs against each of them.
struct Mechanism {
    const char* name;
    QString (*path)(const QString& home);
    AgentContent (*content)(const QString& executable);
};

const Mechanism mechanisms[] = {
    {"LaunchAgent", launchAgentPath, launchAgentContent},
    {"XdgAutostart", [](const QString& home) { return autostartEntryPath({}, home); },
     autostartEntryContent},
};

class AgentFileTest : public testing::TestWithParam<Mechanism> {
  protected:
    [[nodiscard]] QString path() const { return GetParam().path(home_.path()); }
    [[nodiscard]] QString folder() const { return QFileInfo(path()).path(); }
    [[nodiscard]] AgentFile agent() const {
        return AgentFile(path(), GetParam().content, [this] { return executable_; });
    }
    [[nodiscard]] QByteArray written() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void makeFile(const QString& at, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(at).path());
        QFile file(at);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir home_;
    QString executable_ = QStringLiteral("/opt/brimlet/bin/brimlet");
};

TEST_P(AgentFileTest, AnythingAtThePathCountsAsOnAndDisablingRemovesIt) {
    makeFile(path(), "someone else's content");
    EXPECT_TRUE(agent().isEnabled());
    EXPECT_EQ(agent().set(false), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_FALSE(agent().isEnabled());

    // A link counts by what it leads to: to nowhere it starts nothing and is off, and enabling
    // replaces it rather than creating its target. Disabling removes a link, never its target.
    const QString target = home_.filePath("target");
    ASSERT_TRUE(QFile::link(target, path()));
    EXPECT_FALSE(agent().isEnabled());
    EXPECT_EQ(agent().set(true), std::nullopt);
    EXPECT_FALSE(QFileInfo(path()).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(target));
    ASSERT_TRUE(QFile::remove(path()));
    makeFile(target, "kept");
    ASSERT_TRUE(QFile::link(target, path()));
    EXPECT_TRUE(agent().isEnabled());
    EXPECT_EQ(agent().set(true), std::nullopt);  // a link to a file stays, the file is replaced
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(agent().set(false), std::nullopt);
    EXPECT_FALSE(QFileInfo(path()).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(target));

    ASSERT_TRUE(QDir().mkpath(path()));
    EXPECT_TRUE(agent().isEnabled());
    EXPECT_EQ(agent().set(false), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(path()));
}

// The file is replaced whole or not at all: a write that fails part-way (past a file size limit
// here, as on a full disk; the signal ignored, it fails with EFBIG) leaves what was there, nothing
// or the old file, and no temporary file beside it. Enabling records the current executable, and
// enabling twice writes the same file.
TEST_P(AgentFileTest, EnablingReplacesTheFileWholeOrLeavesTheOldOne) {
    EXPECT_EQ(agent().set(false), std::nullopt);  // nothing there: success, disk untouched
    ASSERT_FALSE(QFileInfo::exists(folder()));
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit full{16, saved.rlim_max};
    ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    EXPECT_TRUE(agent().set(true).has_value());
    EXPECT_FALSE(agent().isEnabled());
    makeFile(path(), "old content");
    EXPECT_TRUE(agent().set(true).has_value());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(written(), "old content");
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{QFileInfo(path()).fileName()});
    executable_ = QStringLiteral("/moved/brimlet");
    for (int twice = 0; twice < 2; ++twice) {
        EXPECT_EQ(agent().set(true), std::nullopt);
        EXPECT_EQ(written(), GetParam().content(QStringLiteral("/moved/brimlet")).bytes);
    }
}

TEST_P(AgentFileTest, FailuresComeBackAsTheErrorText) {
    // A plain file where the folder must go.
    makeFile(folder(), "in the way");
    std::optional<QString> error = agent().set(true);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->startsWith(folder() + QStringLiteral(": "))) << error->toStdString();
    EXPECT_FALSE(agent().isEnabled());
    ASSERT_TRUE(QFile::remove(folder()));

    // A folder where the file must go: it is reported, and never emptied when switching off.
    ASSERT_TRUE(QDir().mkpath(path() + QStringLiteral("/inside")));
    error = agent().set(true);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, path() + QStringLiteral(": Is a directory"));
    error = agent().set(false);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->startsWith(path() + QStringLiteral(": "))) << error->toStdString();
    EXPECT_TRUE(QFileInfo::exists(path() + QStringLiteral("/inside")));
}

INSTANTIATE_TEST_SUITE_P(BothFileMechanisms, AgentFileTest, testing::ValuesIn(mechanisms),
                         [](const testing::TestParamInfo<Mechanism>& param) {
                             return std::string(param.param.name);
                         });

TEST(LaunchAgentTest, AnExecutablePathXmlCannotCarryFailsAfterTheFolderIsMade) {
    QTemporaryDir home;
    const QString path = launchAgentPath(home.path());
    EXPECT_EQ(path, home.path() + QStringLiteral("/Library/LaunchAgents/com.zorvan.brimlet.plist"));
    const AgentFile agent(path, launchAgentContent, [] { return QStringLiteral("/tmp/a\x01"); });
    const std::optional<QString> error = agent.set(true);
    ASSERT_TRUE(error);
    EXPECT_TRUE(QFileInfo(QFileInfo(path).path()).isDir());
    EXPECT_FALSE(QFileInfo::exists(path));
}

}  // namespace
}  // namespace brimlet

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "quota/ChildProcess.h"
#include "quota/Credential.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

constexpr char credential[] = R"('{"claudeAiOauth":{"accessToken":"sk-ant-oat01-abc"}}')";

// A fake credential tool: a shell script with this body, executable, in a temporary folder.
class FakeTool {
  public:
    explicit FakeTool(const QByteArray& body, bool executable = true)
        : path_(dir_.filePath(QStringLiteral("tool"))) {
        QFile file(path_);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + '\n');
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        file.setPermissions(executable ? mode | QFileDevice::ExeOwner : mode);
    }
    [[nodiscard]] const QString& path() const { return path_; }

  private:
    QTemporaryDir dir_;
    QString path_;
};

[[nodiscard]] std::optional<QString> tokenFromTool(const QByteArray& body, bool executable = true) {
    const FakeTool tool(body, executable);
    const auto output = runForOutput(tool.path(), {}, maxCredentialBytes);
    return output ? accessTokenFrom(*output) : std::nullopt;
}

TEST(ChildProcessTest, TokenComesOnlyFromAToolThatSucceeds) {
    const QByteArray printCredential = QByteArray("printf '%s\\n' ") + credential;
    const std::optional<QString> token = QStringLiteral("sk-ant-oat01-abc");
    const struct {
        const char* name;
        QByteArray body;
        std::optional<QString> token;
    } cases[] = {
        {"valid credential", printCredential, token},
        {"valid credential, exit status 1", printCredential + "\nexit 1", std::nullopt},
        {"killed by a signal", printCredential + "\nkill -9 $$", std::nullopt},
        {"noise on stderr", "echo 'security: warning' >&2\n" + printCredential, token},
        // Far more than a pipe holds: a tool blocked on its error output would never exit.
        {"flood on stderr", "head -c 300000 /dev/zero >&2\n" + printCredential, token},
        {"bare token text", "echo sk-ant-oat01-abc", std::nullopt},
        {"leading blanks and trailing line end", QByteArray("printf '   %s\\n' ") + credential,
         token},
        {"output over 1 MiB", "head -c 1048577 /dev/zero | tr '\\0' ' '", std::nullopt},
        {"reads nothing from our standard input", "cat\n" + printCredential, token},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tokenFromTool(c.body), c.token) << c.name;
    }
    EXPECT_EQ(tokenFromTool(printCredential, false), std::nullopt) << "not executable";
}

TEST(ChildProcessTest, PassesArgumentsAndReturnsTheOutputExactly) {
    const FakeTool tool(R"(printf '%s|' "$#" "$@")");
    const QStringList arguments{QStringLiteral("find-generic-password"), QStringLiteral("-s"),
                                QStringLiteral("Claude Code-credentials"), QStringLiteral("-w")};
    EXPECT_EQ(runForOutput(tool.path(), arguments, maxCredentialBytes),
              QByteArray("4|find-generic-password|-s|Claude Code-credentials|-w|"));
    EXPECT_EQ(runForOutput(tool.path(), {}, 1), std::nullopt) << "two bytes over a limit of one";
}

TEST(ChildProcessTest, MissingExecutableGivesNothing) {
    const QTemporaryDir dir;
    EXPECT_EQ(runForOutput(dir.filePath(QStringLiteral("no-such-tool")), {}, maxCredentialBytes),
              std::nullopt);
}

}  // namespace
}  // namespace brimlet

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "quota/ChildProcess.h"
#include "quota/Credential.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

constexpr char credential[] = R"('{"claudeAiOauth":{"accessToken":"sk-ant-oat01-abc"}}')";

// Runs a shell script with this body, from a temporary folder, executable or not.
std::optional<QByteArray> runScript(const QByteArray& body, const QStringList& arguments = {},
                                    bool executable = true, qint64 maxBytes = maxCredentialBytes) {
    const QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("tool")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body + '\n');
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                        (executable ? QFileDevice::Permissions(QFileDevice::ExeOwner)
                                    : QFileDevice::Permissions()));
    file.close();
    return runForOutput(file.fileName(), arguments, maxBytes);
}

TEST(ChildProcessTest, ReturnsTheOutputOfAToolThatSucceedsExactly) {
    const QByteArray printCredential = QByteArray("printf '%s\\n' ") + credential;
    const QByteArray printed = QByteArray(credential).mid(1).chopped(1) + '\n';
    const struct {
        const char* name;
        QByteArray body;
        std::optional<QByteArray> output;
    } cases[] = {
        {"exit status 1", printCredential + "\nexit 1", std::nullopt},
        {"killed by a signal", printCredential + "\nkill -9 $$", std::nullopt},
        // Far more than a pipe holds: a tool blocked on its error output would never exit.
        {"flood on stderr", "head -c 300000 /dev/zero >&2\n" + printCredential, printed},
        {"output over 1 MiB", "head -c 1048577 /dev/zero | tr '\\0' ' '", std::nullopt},
        {"reads nothing from our standard input", "cat\n" + printCredential, printed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runScript(c.body), c.output) << c.name;
    }
    EXPECT_EQ(runScript(printCredential, {}, false), std::nullopt) << "not executable";
    const QByteArray body = R"(printf '%s|' "$#" "$@")";
    const QStringList arguments{QStringLiteral("find-generic-password"), QStringLiteral("-s"),
                                QStringLiteral("Claude Code-credentials"), QStringLiteral("-w")};
    EXPECT_EQ(runScript(body, arguments),
              QByteArray("4|find-generic-password|-s|Claude Code-credentials|-w|"));
    EXPECT_EQ(runScript(body, {}, true, 1), std::nullopt) << "two bytes over a limit of one";
}

}  // namespace
}  // namespace brimlet

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "quota/Credential.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

TEST(CredentialTest, TakesTheAccessTokenOutOfTheCredential) {
    const struct {
        const char* text;
        std::optional<QString> token;
    } cases[] = {
        {R"({"claudeAiOauth": {"accessToken": "sk-ant-oat01-abc", "expiresAt": 1}, "x": 2})",
         QStringLiteral("sk-ant-oat01-abc")},
        {"   \t{\"claudeAiOauth\": {\"accessToken\": \"tok\"}}\r\n", QStringLiteral("tok")},
        {R"({"claudeAiOauth": {"accessToken": " a\tb "}})", QStringLiteral(" a\tb ")},
        {R"({"claudeAiOauth": {"accessToken": ""}})", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": 12345}})", std::nullopt},
        {R"({"claudeAiOauth": "sk-ant-oat01-abc"})", std::nullopt},
        {"sk-ant-oat01-abc\n", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": "tok"}} trailing)", std::nullopt},
        // A line end or other control character would split or corrupt the header line.
        {R"({"claudeAiOauth": {"accessToken": "tok\r\nX-Injected: 1"}})", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": "tok\u0000"}})", std::nullopt},
        // Not strict JSON, though QJsonDocument alone would read "tokq" and "tok<tab>".
        {R"({"claudeAiOauth": {"accessToken": "tok\q"}})", std::nullopt},
        {"{\"claudeAiOauth\": {\"accessToken\": \"tok\t\"}}", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(accessTokenFrom(QByteArray(c.text)), c.token) << c.text;
    }
}

TEST(CredentialTest, ReadsOnlyASmallRegularFile) {
    const QTemporaryDir dir;
    const auto path = [&dir](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    const QByteArray atLimit(maxCredentialBytes, ' ');
    for (const auto& [name, content] : {std::pair("at-limit", atLimit), {"over", atLimit + ' '}}) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    ASSERT_EQ(::mkfifo(path("fifo").toLocal8Bit().constData(), 0600), 0);
    const struct {
        const char* name;
        std::optional<QByteArray> content;
    } cases[] = {
        {"at-limit", atLimit},    {"over", std::nullopt}, {"missing", std::nullopt},
        {"folder", std::nullopt}, {"fifo", std::nullopt},  // would block until a writer came
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readCredentialFile(path(c.name)), c.content) << c.name;
    }
}

}  // namespace
}  // namespace brimlet

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
        {"{\"claudeAiOauth\": {\"accessToken\": \"tok\"}}\n", QStringLiteral("tok")},
        {"   \t{\"claudeAiOauth\": {\"accessToken\": \"tok\"}}\r\n", QStringLiteral("tok")},
        {R"({"claudeAiOauth": {"accessToken": " a b "}})", QStringLiteral(" a b ")},
        {R"({"claudeAiOauth": {"accessToken": "a\tb"}})", QStringLiteral("a\tb")},
        {R"({"claudeAiOauth": {"accessToken": "토큰"}})", QStringLiteral("토큰")},
        {R"({"claudeAiOauth": {"accessToken": ""}})", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": 12345}})", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": null}})", std::nullopt},
        {R"({"claudeAiOauth": {"refreshToken": "r"}})", std::nullopt},
        {R"({"claudeAiOauth": "sk-ant-oat01-abc"})", std::nullopt},
        {R"({"accessToken": "sk-ant-oat01-abc"})", std::nullopt},
        {R"([{"claudeAiOauth": {"accessToken": "tok"}}])", std::nullopt},
        {"sk-ant-oat01-abc\n", std::nullopt},
        {"", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": "tok"}} trailing)", std::nullopt},
        // A line end or other control character would split or corrupt the header line.
        {R"({"claudeAiOauth": {"accessToken": "tok\r\nX-Injected: 1"}})", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": "tok\n"}})", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": "tok\u0000"}})", std::nullopt},
        {R"({"claudeAiOauth": {"accessToken": "tok\u007f"}})", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(accessTokenFrom(QByteArray(c.text)), c.token) << c.text;
    }
}

TEST(CredentialTest, ReadsOnlyASmallRegularFile) {
    const QTemporaryDir dir;
    const auto path = [&dir](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    const auto write = [&path](const char* name, const QByteArray& content) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    };
    const QByteArray atLimit(maxCredentialBytes, ' ');
    write("small", "{\"claudeAiOauth\": {}}\n");
    write("empty", "");
    write("at-limit", atLimit);
    write("over-limit", atLimit + ' ');
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    ASSERT_EQ(::mkfifo(path("fifo").toLocal8Bit().constData(), 0600), 0);

    const struct {
        const char* name;
        std::optional<QByteArray> content;
    } cases[] = {
        {"small", QByteArray("{\"claudeAiOauth\": {}}\n")},
        {"empty", QByteArray()},
        {"at-limit", atLimit},
        {"over-limit", std::nullopt},
        {"missing", std::nullopt},
        {"folder", std::nullopt},
        {"fifo", std::nullopt},  // would block until a writer came, if it were opened
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readCredentialFile(path(c.name)), c.content) << c.name;
    }
}

}  // namespace
}  // namespace brimlet

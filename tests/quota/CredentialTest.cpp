#include <gtest/gtest.h>
#include <sys/stat.h>

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
        // Other members pass unread; blanks around the JSON, such as the tool's line end, too.
        {" \t{\"claudeAiOauth\": {\"accessToken\": \"tok\", \"expiresAt\": 1}, \"x\": 2}\r\n",
         QStringLiteral("tok")},
        {R"({"claudeAiOauth": {"accessToken": " a\tb "}})", QStringLiteral(" a\tb ")},
        {R"({"claudeAiOauth": {"accessToken": ""}})", std::nullopt},
        // A line end would split the header line.
        {R"({"claudeAiOauth": {"accessToken": "tok\r\nX-Injected: 1"}})", std::nullopt},
        // Not strict JSON, though QJsonDocument alone would read "tokq".
        {R"({"claudeAiOauth": {"accessToken": "tok\q"}})", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(accessTokenFrom(QByteArray(c.text)), c.token) << c.text;
    }
}

TEST(CredentialTest, ReadsOnlyASmallRegularFile) {
    const QTemporaryDir dir;
    const auto written = [&dir](const char* name, const QByteArray& content) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        return file.fileName();
    };
    const QByteArray atLimit(maxCredentialBytes, ' ');
    EXPECT_EQ(readCredentialFile(written("at-limit", atLimit)), atLimit);
    EXPECT_EQ(readCredentialFile(written("over", atLimit + ' ')), std::nullopt);
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(readCredentialFile(fifo), std::nullopt) << "would block until a writer came";
}

}  // namespace
}  // namespace brimlet

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <future>
#include <thread>

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

// Only a small regular file is read. A FIFO swapped in for it at any moment never holds the reader:
// each read ends, with the file's content or nothing. One held anyway is let go by a writer.
TEST(CredentialTest, ReadsOnlyASmallRegularFileNeverAFifoSwappedIn) {
    const QTemporaryDir dir;
    const auto written = [&dir](const char* name, const QByteArray& content) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        return file.fileName();
    };
    const QByteArray atLimit(maxCredentialBytes, ' ');
    EXPECT_EQ(readCredentialFile(written("at-limit", atLimit)), atLimit);
    EXPECT_EQ(readCredentialFile(written("over", atLimit + ' ')), std::nullopt);
    const QByteArray names[] = {QFile::encodeName(written("file", "secret")),
                                QFile::encodeName(dir.filePath("fifo"))};
    ASSERT_EQ(::mkfifo(names[1].constData(), 0600), 0);
    std::atomic<bool> done = false;
    std::thread swapper([&] {
        while (!done) {
            ::renameat2(AT_FDCWD, names[0].constData(), AT_FDCWD, names[1].constData(),
                        RENAME_EXCHANGE);
        }
    });
    auto reads = std::async(std::launch::async, [&names] {
        for (int i = 0; i < 20'000; ++i) {
            if (readCredentialFile(QFile::decodeName(names[0])).value_or("secret") != "secret") {
                return false;
            }
        }
        return true;
    });
    const bool ended = reads.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    done = true;
    swapper.join();
    for (const auto& name : names) {
        ::close(ended ? -1 : ::open(name.constData(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_TRUE(ended) << "held in open() by the FIFO";
    EXPECT_TRUE(reads.get()) << "read the FIFO as the credential";
}

}  // namespace
}  // namespace brimlet

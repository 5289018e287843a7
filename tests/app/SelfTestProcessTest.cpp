#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "support/BrimletProcess.h"
#include "support/ColourProbes.h"
#include "support/CredentialFile.h"
#include "support/FakeUsageServer.h"
#include "support/QtPrinters.h"
#include "ui/Colours.h"

namespace brimlet::test {
namespace {

// This program is built to ask the fake usage service on this loopback port.
constexpr quint16 usagePort = BRIMLET_LOOPBACK_USAGE_PORT;

const QByteArray threeBuckets = R"({"limits": [
    {"kind": "session", "percent": 12.5, "resets_at": "2026-12-05T15:00:00.528743+00:00"},
    {"kind": "weekly_all", "percent": 87.5},
    {"kind": "weekly_scoped", "percent": 130, "resets_at": "2026-12-08T09:00:00+09:00",
     "scope": {"model": {"display_name": "Opus"}}}]})";

class SelfTestProcessTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server_.isListening()) << "port " << usagePort; }

    [[nodiscard]] RunResult selfTest(const QStringList& extra) const {
        return runBrimlet(QStringList{"--selftest"} + extra, home_.environment(), home_.path(),
                          10000);
    }
    void signIn() const {
        ASSERT_TRUE(writeCredential(home_.file(QStringLiteral(".claude")), "token-for-selftest"));
    }
    [[nodiscard]] QString file(const QString& name) const { return home_.file(name); }

    TempHome home_;
    FakeUsageServer server_{usagePort};
};

QByteArray lines(std::initializer_list<const char*> texts) {
    QByteArray joined;
    for (const char* text : texts) {
        joined += QByteArray(text) + '\n';
    }
    return joined;
}

// Composites `colour` at `alpha` over the 0.12 grey background, as the PNG holds it.
QColor onGrey(const QColor& colour, double alpha) {
    return over(colour, alpha, QColor::fromRgbF(0.12F, 0.12F, 0.12F));
}

// Percentages print with printf's rounding (ties to even: 12.5 gives 12, 87.5 gives 88), reset
// times in UTC without a fraction; the gauge is drawn ten times enlarged on dark grey.
TEST_F(SelfTestProcessTest, PrintsEachBucketAndDrawsThem) {
    signIn();
    server_.script({ScriptedAnswer::ok(threeBuckets)});
    const RunResult result = selfTest({"gauge.png"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, lines({"잔량 파싱 성공 — 3줄",
                                 "  세션 (5시간) : 사용 12% / 남음 88% / 리셋 2026-12-05T15:00:00Z",
                                 "  주간 전체 : 사용 88% / 남음 12% / 리셋 -",
                                 "  Opus 주간 : 사용 130% / 남음 0% / 리셋 2026-12-08T00:00:00Z",
                                 "렌더 저장 → gauge.png"}));
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(server_.requests().size(), 1);
    EXPECT_EQ(server_.requests().first().header("Authorization"), "Bearer token-for-selftest");
    const QImage image(file("gauge.png"));
    ASSERT_EQ(image.size(), QSize(410, 220));
    expectColours(
        image,
        {
            {{2, 2}, onGrey(Qt::black, 0), "background"},
            {{30, 50}, onGrey(accent, 1), "session fill, 3.5 points wide"},
            {{200, 50}, onGrey(deepGreen, 0.7), "session track beyond the fill"},
            {{280, 110}, onGrey(deepGreen, 0.7), "weekly track beyond its 24.5 point fill"},
            {{280, 170}, onGrey(accent, 1), "scoped fill over the whole bar"},
            {{365, 70}, onGrey(accent, 0.35), "Opus dot, lit at the start of its pulse"},
            {{365, 150}, onGrey(idleGreen, 0.55), "Fable dot, idle"},
        },
        3);
}

// Without a credential the gauge is still drawn. The path is taken as given: a leading ~ is a
// folder of that name, and an existing file is replaced in place. Only a regular file is written:
// a FIFO nobody reads would otherwise hold the run forever.
TEST_F(SelfTestProcessTest, WithoutACredentialDrawsWhereThePathSays) {
    ASSERT_TRUE(QDir(home_.path()).mkdir("~"));
    QFile old(file("~/x.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100'000, 'x'));  // longer than the PNG: replacing must truncate
    old.close();
    ASSERT_TRUE(QDir(home_.path()).mkdir("taken.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(file("fifo.png")).constData(), 0600), 0);
    const struct {
        const char* path;
        int exitCode;
        const char* last;
    } cases[] = {{"out.png", 0, "렌더 저장 → out.png"},
                 {"~/x.png", 0, "렌더 저장 → ~/x.png"},
                 {"/no/such/dir/x.png", 1, "렌더 실패"},
                 {"taken.png", 1, "렌더 실패"},
                 {"fifo.png", 1, "렌더 실패"}};
    for (const auto& c : cases) {
        const RunResult result = selfTest({QString::fromUtf8(c.path)});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.path;
        EXPECT_EQ(result.out, lines({"잔량 실패 — 자격 증명 파일에서 토큰을 못 읽음", c.last}))
            << c.path;
        EXPECT_EQ(result.err, "") << c.path;
    }
    EXPECT_TRUE(server_.requests().isEmpty());
    const QImage image(file("out.png"));
    EXPECT_EQ(image.size(), QSize(410, 220));
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(QImage(file("~/x.png")).size(), QSize(410, 220));
}

// The default path lies in a folder every user shares: a link planted there by someone else is
// replaced by the picture, never followed to the file it names.
TEST_F(SelfTestProcessTest, ReplacesALinkPlantedAtTheDefaultPath) {
    const QString planted = QStringLiteral("/tmp/brimlet.png");
    QFile::remove(planted);
    if (QFileInfo(planted).exists() || QFileInfo(planted).isSymLink()) {
        GTEST_SKIP() << "someone else's " << planted.toStdString();
    }
    QFile mine(file("mine"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
    mine.close();
    ASSERT_TRUE(QFile::link(mine.fileName(), planted));
    EXPECT_EQ(selfTest({}).exitCode, 0);
    EXPECT_FALSE(QFileInfo(planted).isSymLink());
    EXPECT_EQ(QImage(planted).size(), QSize(410, 220));
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "mine");
    QFile::remove(planted);
}

}  // namespace
}  // namespace brimlet::test

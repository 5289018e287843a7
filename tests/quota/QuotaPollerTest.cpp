#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>
#include <memory>

#include "quota/QuotaPoller.h"
#include "support/CredentialFile.h"
#include "support/FakeUsageServer.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"

namespace brimlet {
namespace {

using namespace std::chrono_literals;
using test::FakeUsageServer;
using test::ScriptedAnswer;

constexpr char token[] = "sk-ant-oat01-test";
const QByteArray oneBucket = R"({"limits": [{"kind": "session", "percent": 10}]})";
const QString formatChanged = "응답 형식이 바뀜";

// The poller's own next-poll timer: tests read what it was set to and fire it early.
[[nodiscard]] QTimer& nextPoll(QuotaPoller& poller) {
    return *poller.findChild<QTimer*>("nextPoll");
}
[[nodiscard]] std::optional<std::chrono::milliseconds> pendingWait(QuotaPoller& poller) {
    const QTimer& timer = nextPoll(poller);
    return timer.isActive() ? std::optional(timer.intervalAsDuration()) : std::nullopt;
}

// Each test gets a home folder of its own holding the token, a clock it moves by hand and a fake
// usage service on a free loopback port.
class QuotaPollerTest : public ::testing::Test {
  protected:
    QuotaPollerTest() : savedHome_(qgetenv("HOME")) {
        qputenv("HOME", home_.path().toUtf8());
        giveToken();
    }
    ~QuotaPollerTest() override { qputenv("HOME", savedHome_); }

    void giveToken() { ASSERT_TRUE(test::writeCredential(home_.filePath(".claude"), token)); }
    [[nodiscard]] std::unique_ptr<QuotaPoller> makePoller(
        std::chrono::milliseconds idle = 10s, std::chrono::milliseconds deadline = 10s) {
        auto poller = std::make_unique<QuotaPoller>(
            server_.url(), [this] { return now_; }, idle, deadline);
        poller->onUpdate = [this] { ++updates_; };
        return poller;
    }
    // Waits for the attempt just begun to finish.
    [[nodiscard]] bool attemptFinished() {
        const int target = ++expectedUpdates_;
        return test::waitUntil([this, target] { return updates_ >= target; }) && updates_ == target;
    }
    // Lets the pending next poll fire now, through its timer, and waits for its attempt.
    [[nodiscard]] bool timerPollFinished(QuotaPoller& poller) {
        if (!pendingWait(poller)) {
            return false;
        }
        nextPoll(poller).start(0);
        return attemptFinished();
    }

    QTemporaryDir home_;
    QByteArray savedHome_;
    QDateTime now_{QDate(2026, 4, 11), QTime(6, 0), QTimeZone::utc()};
    int updates_ = 0;
    int expectedUpdates_ = 0;
    FakeUsageServer server_;
};

// Every failure keeps the last good buckets and their time; a transport failure carries the
// network stack's own text (no message below), never a status or the format message. The answer
// before each is a success exactly as large as an answer may be: one byte more is refused as soon
// as it is known, announced or not, and never read whole.
TEST_F(QuotaPollerTest, FailuresKeepTheLastGoodBucketsAndSayWhy) {
    const QByteArray head = R"({"five_hour": {"utilization": 1}, "pad": ")";
    const QByteArray atLimit = head + QByteArray((1 << 20) - head.size() - 2, 'x') + "\"}";
    FakeUsageServer elsewhere;
    const struct {
        const char* name;
        ScriptedAnswer answer;
        std::optional<QString> message;
    } cases[] = {
        {"404 with a valid body", {404, oneBucket}, "HTTP 404"},
        {"redirect",
         {.raw = "HTTP/1.1 307 Temporary Redirect\r\nLocation: " + elsewhere.url().toEncoded() +
                 "\r\nContent-Length: 0\r\n\r\n"},
         "HTTP 307"},
        {"empty 200", ScriptedAnswer::ok({}), formatChanged},
        {"200 not JSON", ScriptedAnswer::ok("<html>busy</html>"), formatChanged},
        {"a byte over 1 MiB", ScriptedAnswer::ok(atLimit + ' '), formatChanged},
        {"200 MiB without a length",
         {.streamBytes = 200 << 20, .pieceBytes = 64 << 10},
         formatChanged},
        // A status line came, but the body did not: still a transfer failure, not a format change.
        {"body cut off",
         {.raw = "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n{\"five_hour\""},
         std::nullopt},
        {"not HTTP", {.raw = "SSH-2.0-OpenSSH_9.2\r\n"}, std::nullopt},
        // Never idle long enough for the idle time-out, but past the deadline.
        {"dripped past the deadline",
         {.streamBytes = 20, .pieceBytes = 1, .pieceInterval = 100ms},
         "응답 시간 초과"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_.script({ScriptedAnswer::ok(atLimit), c.answer});
        const QDateTime successAt = now_;
        const auto poller = makePoller(300ms, 1s);
        poller->start();
        ASSERT_TRUE(attemptFinished());
        now_ = now_.addSecs(180);
        ASSERT_TRUE(timerPollFinished(*poller));
        ASSERT_TRUE(poller->lastError().has_value());
        if (c.message) {
            EXPECT_EQ(poller->lastError(), c.message);
        } else {
            EXPECT_FALSE(poller->lastError()->isEmpty());
            EXPECT_FALSE(poller->lastError()->startsWith("HTTP"));
            EXPECT_NE(poller->lastError(), formatChanged);
        }
        EXPECT_EQ(poller->buckets().size(), 1);
        EXPECT_EQ(poller->lastSuccess(), successAt);
        EXPECT_EQ(pendingWait(*poller), 360s);
    }
    EXPECT_TRUE(elsewhere.requests().isEmpty()) << "the token followed a redirect";
    EXPECT_LT(server_.streamedBytes(), 32 << 20) << "an answer without a length was read whole";
}

TEST_F(QuotaPollerTest, WithoutATokenNothingIsSentAndTheNextPollReadsItAgain) {
    ASSERT_TRUE(QFile::remove(home_.filePath(".claude/.credentials.json")));
    server_.script({ScriptedAnswer::ok(oneBucket)});
    const auto poller = makePoller();
    poller->start();
    // The failure is known before start returns: no request, no waiting.
    EXPECT_EQ(updates_, 1);
    ++expectedUpdates_;
    EXPECT_EQ(poller->lastError(), "자격 증명 파일에서 토큰을 못 읽음");
    EXPECT_EQ(pendingWait(*poller), 360s);
    giveToken();
    ASSERT_TRUE(timerPollFinished(*poller));
    EXPECT_EQ(server_.requests().size(), 1);
    EXPECT_EQ(poller->lastError(), std::nullopt);
}

// One request at a time: every poll the timer starts meets two refreshNow calls while its request
// is in flight, and they add nothing, neither a request nor a reset of the back-off. Refreshes
// asked for come 10 s apart; one asked sooner is answered by the next poll, due when they are up.
TEST_F(QuotaPollerTest, BacksOffWhileFailingAndRefreshNowStartsOver) {
    const ScriptedAnswer fail{503};
    const auto success = ScriptedAnswer::ok(oneBucket);
    server_.script({fail, fail, fail, fail, success, fail, fail, fail, fail, success});
    enum Attempt { start, timer, refresh };
    const struct {
        Attempt attempt;
        std::chrono::seconds wait;  // before the next poll, after the attempt
    } steps[] = {
        {start, 360s}, {timer, 720s}, {timer, 900s}, {timer, 900s},   {timer, 180s},
        {timer, 360s}, {timer, 720s}, {timer, 900s}, {refresh, 360s}, {refresh, 180s},
    };
    const auto poller = makePoller();
    // Connected after the poller's own slot, so it runs once the request is under way.
    QObject::connect(&nextPoll(*poller), &QTimer::timeout, poller.get(), [&poller] {
        poller->refreshNow();
        poller->refreshNow();
    });
    for (const auto& step : steps) {
        SCOPED_TRACE(server_.requests().size());
        if (step.attempt == timer) {
            ASSERT_TRUE(timerPollFinished(*poller));
        } else {
            now_ = now_.addSecs(10);
            step.attempt == start ? poller->start() : poller->refreshNow();
            EXPECT_EQ(pendingWait(*poller), std::nullopt) << "old timer still pending";
            ASSERT_TRUE(attemptFinished());
        }
        EXPECT_EQ(pendingWait(*poller), step.wait);
    }
    now_ = now_.addSecs(4);
    poller->refreshNow();
    poller->refreshNow();
    EXPECT_EQ(pendingWait(*poller), 6s);
    ASSERT_TRUE(timerPollFinished(*poller));
    EXPECT_EQ(server_.requests().size(), std::size(steps) + 1);
}

// A request in flight still completes, but its completion reaches nothing.
TEST_F(QuotaPollerTest, ADestroyedPollerIsNeverCalledBack) {
    server_.script({ScriptedAnswer::ok(oneBucket)});
    auto inFlight = makePoller();
    inFlight->start();
    const auto* network = QCoreApplication::instance()->findChild<QNetworkAccessManager*>();
    ASSERT_NE(network, nullptr);
    int finishedReplies = 0;
    const auto counting = QObject::connect(network, &QNetworkAccessManager::finished,
                                           [&finishedReplies] { ++finishedReplies; });
    inFlight.reset();
    ASSERT_TRUE(test::waitUntil([&finishedReplies] { return finishedReplies == 1; }));
    QObject::disconnect(counting);
    QCoreApplication::processEvents();
    EXPECT_EQ(updates_, 0);
}

}  // namespace
}  // namespace brimlet

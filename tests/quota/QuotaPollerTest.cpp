#include <gtest/gtest.h>

#include <QCoreApplication>
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

constexpr char token[] = "sk-ant-oat01-test token";

const QByteArray oneBucket = R"({"limits": [{"kind": "session", "percent": 10}]})";
const QByteArray twoBuckets =
    R"({"five_hour": {"utilization": 20}, "seven_day": {"utilization": 30}})";

[[nodiscard]] QStringList labels(const QList<Bucket>& buckets) {
    QStringList result;
    for (const auto& bucket : buckets) {
        result.append(bucket.label());
    }
    return result;
}

// The poller's own next-poll timer: tests read what it was set to and fire it early.
[[nodiscard]] QTimer& nextPoll(QuotaPoller& poller) {
    return *poller.findChild<QTimer*>(QStringLiteral("nextPoll"));
}
[[nodiscard]] std::optional<std::chrono::milliseconds> pendingWait(QuotaPoller& poller) {
    const QTimer& timer = nextPoll(poller);
    return timer.isActive() ? std::optional(timer.intervalAsDuration()) : std::nullopt;
}

TEST(QuotaPollerSchedule, DoublesFrom180SecondsPerFailureUpTo900) {
    const std::chrono::seconds expected[] = {180s, 360s, 720s, 900s, 900s};
    for (int step = 0; step < 5; ++step) {
        EXPECT_EQ(QuotaPoller::pollInterval(step), expected[step]) << step;
    }
}

// Each test gets a home folder of its own (the token is read from it), a clock it moves by hand
// and a fake usage service on a free loopback port.
class QuotaPollerTest : public ::testing::Test {
  protected:
    QuotaPollerTest() : savedHome_(qgetenv("HOME")) { qputenv("HOME", home_.path().toUtf8()); }
    ~QuotaPollerTest() override { qputenv("HOME", savedHome_); }

    void giveToken() {
        ASSERT_TRUE(test::writeCredentialFile(home_.path(),
                                              test::credentialJson(QString::fromUtf8(token))));
    }

    [[nodiscard]] std::unique_ptr<QuotaPoller> makePoller(const QUrl& endpoint,
                                                          std::chrono::milliseconds idle = 10s) {
        auto poller = std::make_unique<QuotaPoller>(
            endpoint, [this] { return now_; }, idle);
        poller->onUpdate = [this] { ++updates_; };
        return poller;
    }
    [[nodiscard]] std::unique_ptr<QuotaPoller> makePoller() { return makePoller(server_.url()); }

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

TEST_F(QuotaPollerTest, SendsExactlyTheUsageRequestAndRecordsEachSuccess) {
    giveToken();
    server_.script({ScriptedAnswer::ok(oneBucket), ScriptedAnswer::ok(twoBuckets)});
    const auto poller = makePoller();
    poller->start();
    ASSERT_TRUE(attemptFinished());
    EXPECT_EQ(labels(poller->buckets()), QStringList{"세션 (5시간)"});
    now_ = now_.addSecs(180);
    ASSERT_TRUE(timerPollFinished(*poller));
    EXPECT_EQ(labels(poller->buckets()), (QStringList{"세션 (5시간)", "주간 전체"}));
    EXPECT_EQ(poller->lastSuccess(), now_);
    EXPECT_EQ(pendingWait(*poller), 180s);

    ASSERT_EQ(server_.requests().size(), 2);
    const auto& request = server_.requests().first();
    EXPECT_EQ(request.requestLine, "GET /api/oauth/usage HTTP/1.1");
    EXPECT_EQ(request.header("Authorization"), QByteArray("Bearer ") + token);
    EXPECT_EQ(request.header("anthropic-beta"), "oauth-2025-04-20");
    EXPECT_TRUE(request.body.isEmpty());
    // Beyond our two, only what Qt's HTTP layer itself always sends.
    const QList<QByteArray> allowed{"Host",       "Authorization",   "anthropic-beta",
                                    "Connection", "Accept-Encoding", "Accept-Language",
                                    "User-Agent"};
    for (const auto& [name, value] : request.headers) {
        EXPECT_TRUE(allowed.contains(name)) << name.toStdString() << ": " << value.toStdString();
    }
}

// Every failure keeps the last good buckets and their time; a transport failure carries the
// network stack's own text (no message below), never a status or the format message.
TEST_F(QuotaPollerTest, FailuresKeepTheLastGoodBucketsAndSayWhy) {
    giveToken();
    FakeUsageServer elsewhere;
    elsewhere.script({ScriptedAnswer::ok(oneBucket)});
    const struct {
        const char* name;
        ScriptedAnswer answer;
        std::optional<QString> message;
    } cases[] = {
        {"401", ScriptedAnswer::withStatus(401), QStringLiteral("HTTP 401")},
        {"404 with a valid body", ScriptedAnswer::withStatus(404, twoBuckets),
         QStringLiteral("HTTP 404")},
        {"redirect", ScriptedAnswer::redirect(307, elsewhere.url()), QStringLiteral("HTTP 307")},
        {"empty 200", ScriptedAnswer::ok({}), QStringLiteral("응답 형식이 바뀜")},
        {"200 not JSON", ScriptedAnswer::ok("<html>busy</html>"),
         QStringLiteral("응답 형식이 바뀜")},
        {"never answers", ScriptedAnswer::never(), std::nullopt},
        // A status line came, but the body did not: still a transfer failure, not a format change.
        {"body cut off",
         ScriptedAnswer::rawBytes("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n"
                                  "Connection: close\r\n\r\n{\"five_hour\""),
         std::nullopt},
        {"not HTTP", ScriptedAnswer::rawBytes("SSH-2.0-OpenSSH_9.2\r\n"), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_.script({ScriptedAnswer::ok(oneBucket), c.answer});
        const QDateTime successAt = now_;
        const auto poller = makePoller(server_.url(), 300ms);
        poller->start();
        ASSERT_TRUE(attemptFinished());
        now_ = now_.addSecs(180);
        ASSERT_TRUE(timerPollFinished(*poller));
        ASSERT_TRUE(poller->lastError().has_value());
        if (c.message) {
            EXPECT_EQ(poller->lastError(), c.message);
        } else {
            EXPECT_FALSE(poller->lastError()->isEmpty());
            EXPECT_FALSE(poller->lastError()->startsWith(QStringLiteral("HTTP")));
            EXPECT_NE(poller->lastError(), QStringLiteral("응답 형식이 바뀜"));
        }
        EXPECT_EQ(labels(poller->buckets()), QStringList{"세션 (5시간)"});
        EXPECT_EQ(poller->lastSuccess(), successAt);
        EXPECT_EQ(pendingWait(*poller), 360s);
    }
    EXPECT_TRUE(elsewhere.requests().isEmpty()) << "the token followed a redirect";
}

TEST_F(QuotaPollerTest, WithoutATokenNothingIsSentAndTheNextPollReadsItAgain) {
    server_.script({ScriptedAnswer::ok(oneBucket)});
    const auto poller = makePoller();
    poller->start();
    // The failure is known before start returns: no request, no waiting.
    EXPECT_EQ(updates_, 1);
    ++expectedUpdates_;
    EXPECT_EQ(poller->lastError(), QStringLiteral("키체인에서 토큰을 못 읽음"));
    EXPECT_EQ(pendingWait(*poller), 360s);

    giveToken();
    ASSERT_TRUE(timerPollFinished(*poller));
    ASSERT_EQ(server_.requests().size(), 1);
    EXPECT_EQ(server_.requests().first().header("Authorization"), QByteArray("Bearer ") + token);
    EXPECT_EQ(poller->lastError(), std::nullopt);
}

TEST_F(QuotaPollerTest, BacksOffWhileFailingAndRefreshNowStartsOver) {
    giveToken();
    const auto fail = ScriptedAnswer::withStatus(503);
    const auto success = ScriptedAnswer::ok(oneBucket);
    server_.script({fail, fail, fail, fail, success, fail, fail, fail, fail, success});
    enum Attempt { start, timer, refresh };
    const struct {
        Attempt attempt;
        int backoffStep;  // after the attempt
    } steps[] = {
        {start, 1}, {timer, 2}, {timer, 3}, {timer, 3},   {timer, 0},
        {timer, 1}, {timer, 2}, {timer, 3}, {refresh, 1}, {refresh, 0},
    };
    const auto poller = makePoller();
    for (const auto& step : steps) {
        SCOPED_TRACE(server_.requests().size());
        if (step.attempt == timer) {
            ASSERT_TRUE(timerPollFinished(*poller));
        } else {
            step.attempt == start ? poller->start() : poller->refreshNow();
            EXPECT_EQ(pendingWait(*poller), std::nullopt) << "old timer still pending";
            ASSERT_TRUE(attemptFinished());
        }
        EXPECT_EQ(pendingWait(*poller), QuotaPoller::pollInterval(step.backoffStep));
    }
    EXPECT_EQ(server_.requests().size(), std::size(steps));
}

TEST_F(QuotaPollerTest, RefreshNowWhileARequestIsInFlightRecordsBoth) {
    giveToken();
    server_.script({ScriptedAnswer::withStatus(500), ScriptedAnswer::ok(oneBucket)});
    const auto poller = makePoller();
    poller->start();
    poller->refreshNow();
    ASSERT_TRUE(test::waitUntil([this] { return updates_ >= 2; }));
    EXPECT_FALSE(test::waitUntil([this] { return updates_ > 2; }, 100ms));
    EXPECT_EQ(server_.requests().size(), 2);
    EXPECT_TRUE(pendingWait(*poller).has_value());
}

// A request in flight still completes, but its completion reaches nothing.
TEST_F(QuotaPollerTest, ADestroyedPollerIsNeverCalledBack) {
    giveToken();
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
    EXPECT_EQ(server_.requests().size(), 1);
    EXPECT_EQ(updates_, 0);
}

}  // namespace
}  // namespace brimlet

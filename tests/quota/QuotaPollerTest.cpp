#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimeZone>
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
const QByteArray threeBuckets = R"({"limits": [
    {"kind": "session", "percent": 1}, {"kind": "weekly_all", "percent": 2},
    {"kind": "weekly_scoped", "percent": 3, "scope": {"model": {"display_name": "Opus"}}}]})";

[[nodiscard]] QStringList labels(const QList<Bucket>& buckets) {
    QStringList result;
    for (const auto& bucket : buckets) {
        result.append(bucket.label());
    }
    return result;
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

    QTemporaryDir home_;
    QByteArray savedHome_;
    QDateTime now_{QDate(2026, 4, 11), QTime(6, 0), QTimeZone::utc()};
    int updates_ = 0;
    int expectedUpdates_ = 0;
    FakeUsageServer server_;
};

TEST_F(QuotaPollerTest, SendsExactlyTheUsageRequest) {
    giveToken();
    server_.script({ScriptedAnswer::ok(oneBucket)});
    const auto poller = makePoller();
    poller->start();
    ASSERT_TRUE(attemptFinished());

    ASSERT_EQ(server_.requests().size(), 1);
    const auto& request = server_.requests().first();
    EXPECT_EQ(request.requestLine, "GET /api/oauth/usage HTTP/1.1");
    EXPECT_EQ(request.header("Authorization"), QByteArray("Bearer ") + token);
    EXPECT_EQ(request.header("anthropic-beta"), "oauth-2025-04-20");
    EXPECT_EQ(request.header("Content-Length"), std::nullopt);
    EXPECT_TRUE(request.body.isEmpty());
    // Beyond our two, only what Qt's HTTP layer itself always sends.
    const QList<QByteArray> allowed{"Host",       "Authorization",   "anthropic-beta",
                                    "Connection", "Accept-Encoding", "Accept-Language",
                                    "User-Agent"};
    for (const auto& [name, value] : request.headers) {
        EXPECT_TRUE(allowed.contains(name)) << name.toStdString() << ": " << value.toStdString();
    }
}

TEST_F(QuotaPollerTest, EachSuccessReplacesTheBuckets) {
    giveToken();
    server_.script({ScriptedAnswer::ok(oneBucket), ScriptedAnswer::ok(twoBuckets),
                    ScriptedAnswer::ok(threeBuckets)});
    const auto poller = makePoller();
    const QStringList expected[] = {
        {"세션 (5시간)"},
        {"세션 (5시간)", "주간 전체"},
        {"세션 (5시간)", "주간 전체", "Opus 주간"},
    };
    poller->start();
    for (const auto& labelsOfPoll : expected) {
        SCOPED_TRACE(labelsOfPoll.join(u',').toStdString());
        ASSERT_TRUE(attemptFinished());
        EXPECT_EQ(labels(poller->buckets()), labelsOfPoll);
        EXPECT_EQ(poller->lastSuccess(), now_);
        EXPECT_EQ(poller->lastError(), std::nullopt);
        EXPECT_EQ(poller->pendingPollInterval(), 180.0);
        now_ = now_.addSecs(180);
        poller->runPendingPoll();
    }
}

TEST_F(QuotaPollerTest, FailedAnswersKeepTheLastGoodBuckets) {
    giveToken();
    const struct {
        const char* name;
        ScriptedAnswer answer;
        QString message;
    } cases[] = {
        {"401", ScriptedAnswer::withStatus(401), QStringLiteral("HTTP 401")},
        {"500", ScriptedAnswer::withStatus(500), QStringLiteral("HTTP 500")},
        {"404 with a valid body", ScriptedAnswer::withStatus(404, twoBuckets),
         QStringLiteral("HTTP 404")},
        {"empty 200", ScriptedAnswer::ok({}), QStringLiteral("응답 형식이 바뀜")},
        {"200 not JSON", ScriptedAnswer::ok("<html>busy</html>"),
         QStringLiteral("응답 형식이 바뀜")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_.script({ScriptedAnswer::ok(oneBucket), c.answer});
        const QDateTime successAt = now_;
        const auto poller = makePoller();
        poller->start();
        ASSERT_TRUE(attemptFinished());
        now_ = now_.addSecs(180);
        poller->runPendingPoll();
        ASSERT_TRUE(attemptFinished());
        EXPECT_EQ(poller->lastError(), c.message);
        EXPECT_EQ(labels(poller->buckets()), QStringList{"세션 (5시간)"});
        EXPECT_EQ(poller->lastSuccess(), successAt);
        EXPECT_EQ(poller->pendingPollInterval(), 360.0);
    }
}

TEST_F(QuotaPollerTest, RedirectsAreReportedAndNotFollowed) {
    giveToken();
    FakeUsageServer elsewhere;
    elsewhere.script({ScriptedAnswer::ok(oneBucket)});
    for (const int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        server_.script({ScriptedAnswer::redirect(status, elsewhere.url())});
        const auto poller = makePoller();
        poller->start();
        ASSERT_TRUE(attemptFinished());
        EXPECT_EQ(poller->lastError(), QStringLiteral("HTTP %1").arg(status));
        EXPECT_TRUE(poller->buckets().isEmpty());
    }
    EXPECT_TRUE(elsewhere.requests().isEmpty());
}

TEST_F(QuotaPollerTest, TransportFailuresCarryTheNetworkStacksOwnText) {
    giveToken();
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const auto refusing = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();

    const struct {
        const char* name;
        std::optional<ScriptedAnswer> answer;  // nothing: no server at all
    } cases[] = {
        {"connection refused", std::nullopt},
        {"never answers", ScriptedAnswer::never()},
        // A status line came, but the body did not: still a transfer failure, not a format change.
        {"body cut off", ScriptedAnswer::rawBytes("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n"
                                                  "Connection: close\r\n\r\n{\"five_hour\"")},
        {"not HTTP", ScriptedAnswer::rawBytes("SSH-2.0-OpenSSH_9.2\r\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_.script({c.answer.value_or(ScriptedAnswer())});
        const auto poller = makePoller(c.answer ? server_.url() : QUrl(refusing), 300ms);
        poller->start();
        ASSERT_TRUE(attemptFinished());
        ASSERT_TRUE(poller->lastError().has_value());
        EXPECT_FALSE(poller->lastError()->isEmpty());
        EXPECT_FALSE(poller->lastError()->startsWith(QStringLiteral("HTTP ")));
        EXPECT_NE(poller->lastError(), QStringLiteral("응답 형식이 바뀜"));
        EXPECT_EQ(poller->lastSuccess(), std::nullopt);
        EXPECT_EQ(poller->pendingPollInterval(), 360.0);
    }
}

TEST_F(QuotaPollerTest, WithoutATokenNothingIsSentAndTheNextPollReadsItAgain) {
    server_.script({ScriptedAnswer::ok(oneBucket)});
    const auto poller = makePoller();
    poller->start();
    // The failure is known before start returns: no request, no waiting.
    EXPECT_EQ(updates_, 1);
    ++expectedUpdates_;
    EXPECT_EQ(poller->lastError(), QStringLiteral("키체인에서 토큰을 못 읽음"));
    EXPECT_EQ(poller->pendingPollInterval(), 360.0);

    giveToken();
    poller->runPendingPoll();
    ASSERT_TRUE(attemptFinished());
    ASSERT_EQ(server_.requests().size(), 1);
    EXPECT_EQ(server_.requests().first().header("Authorization"), QByteArray("Bearer ") + token);
    EXPECT_EQ(poller->lastError(), std::nullopt);
}

TEST_F(QuotaPollerTest, BacksOffWhileFailingAndRefreshNowStartsOver) {
    giveToken();
    const auto fail = ScriptedAnswer::withStatus(503);
    const auto success = ScriptedAnswer::ok(oneBucket);
    server_.script({fail, fail, fail, fail, success, fail, fail, fail, fail, success});
    const auto start = &QuotaPoller::start;
    const auto timer = &QuotaPoller::runPendingPoll;
    const auto refresh = &QuotaPoller::refreshNow;
    const struct {
        void (QuotaPoller::*attempt)();
        double nextInterval;
    } steps[] = {
        {start, 360}, {timer, 720}, {timer, 900}, {timer, 900},   {timer, 180},
        {timer, 360}, {timer, 720}, {timer, 900}, {refresh, 360}, {refresh, 180},
    };
    const auto poller = makePoller();
    for (const auto& step : steps) {
        SCOPED_TRACE(server_.requests().size());
        (poller.get()->*step.attempt)();
        if (step.attempt == refresh) {
            EXPECT_EQ(poller->pendingPollInterval(), std::nullopt) << "old timer still pending";
        }
        ASSERT_TRUE(attemptFinished());
        EXPECT_EQ(poller->pendingPollInterval(), step.nextInterval);
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
    EXPECT_TRUE(poller->pendingPollInterval().has_value());
}

TEST_F(QuotaPollerTest, DestroyedPollerIsNeverCalledBack) {
    giveToken();
    server_.script({ScriptedAnswer::ok(oneBucket)});

    // A request in flight still completes, but its completion reaches nothing.
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

    // A pending next poll goes with its poller.
    auto pending = makePoller();
    pending->start();
    ASSERT_TRUE(attemptFinished());
    ASSERT_TRUE(pending->pendingPollInterval().has_value());
    pending.reset();
    EXPECT_FALSE(test::waitUntil([this] { return server_.requests().size() > 2; }, 50ms));
    EXPECT_EQ(updates_, 1);
}

}  // namespace
}  // namespace brimlet

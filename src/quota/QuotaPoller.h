#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

#include "base/Clock.h"
#include "quota/Bucket.h"

class QJsonValue;
class QNetworkReply;

namespace brimlet {

// Keeps the picture of the user's quota up to date: reads the access token, asks the usage
// endpoint, turns the answer into buckets and schedules its own next poll, every 3 minutes while
// polls succeed and backing off to 15 minutes while they fail. Lives on the main thread; every
// field is read and written there only.
//
// One request at a time: a poll asked for while one is in flight adds nothing, and its completion
// schedules the next. A request ends within a deadline, and an answer is refused as soon as it
// grows past a size limit, before it is held whole.
//
// Lifetime: the next-poll timer is a member and request completions are connected with the poller
// as context, so once the poller is destroyed neither reaches it. Requests in flight are left to
// finish on their own.
class QuotaPoller : public QObject {
    Q_OBJECT

  public:
    // Asks the configured usage endpoint with the system clock, a 20-second idle time-out and a
    // 30-second deadline for the whole request.
    QuotaPoller();
    // For tests: another endpoint (a loopback server), clock, idle time-out and deadline.
    QuotaPoller(QUrl endpoint, Clock clock, std::chrono::milliseconds idleTimeout,
                std::chrono::milliseconds deadline);

    // Begins polling: the first attempt runs at once. Set onUpdate before.
    void start();
    // A poll on the user's demand: drops the pending timer, forgets the back-off and polls at
    // once. Any client on the session bus can ask, so at most one such poll runs every
    // refreshEvery: one asked sooner is answered by the request in flight or by the next poll,
    // which then comes when the interval is up.
    void refreshNow();

    // The buckets of the last successful poll, in the order session, weekly, scoped; a failed
    // poll leaves them untouched.
    [[nodiscard]] const QList<Bucket>& buckets() const { return buckets_; }
    // When the last successful poll was processed.
    [[nodiscard]] const std::optional<QDateTime>& lastSuccess() const { return lastSuccess_; }
    // The message of the last failed poll; absent after a success.
    [[nodiscard]] const std::optional<QString>& lastError() const { return lastError_; }

    // Called after every finished attempt, on the main thread.
    std::function<void()> onUpdate;

    // Reads a usage response body into at most three buckets, in the order session, weekly,
    // scoped. Every defect of the body shows as fewer buckets, never as an error.
    [[nodiscard]] static QList<Bucket> parse(const QByteArray& body);

    // The wait before the next poll after `backoffStep` failures in a row: 180 s, doubling per
    // failure, at most 900 s.
    [[nodiscard]] static std::chrono::milliseconds pollInterval(int backoffStep);

    // The largest answer read: the real one is a few hundred bytes.
    static constexpr qint64 maxBodyBytes = qint64{1} << 20;
    static constexpr std::chrono::seconds refreshEvery{10};

  private:
    void fetch();
    void refuseIfTooLarge(QNetworkReply& reply);
    void complete(QNetworkReply& reply);
    void finish(const std::optional<QList<Bucket>>& buckets, const std::optional<QString>& message);
    void scheduleNext();

    [[nodiscard]] static std::optional<QString> readToken();
    [[nodiscard]] static std::optional<QDateTime> date(const QJsonValue& value);

    static constexpr std::chrono::seconds baseInterval{180};
    static constexpr std::chrono::seconds maxInterval{900};
    static constexpr int maxBackoffStep = 3;

    QUrl endpoint_;
    Clock clock_;
    std::chrono::milliseconds idleTimeout_;
    std::chrono::milliseconds deadline_;
    QPointer<QNetworkReply> inFlight_;
    bool inFlightTooLarge_ = false;
    QList<Bucket> buckets_;
    std::optional<QDateTime> lastSuccess_;
    std::optional<QString> lastError_;
    int backoffStep_ = 0;
    std::optional<QDateTime> lastRefresh_;  // when the latest poll the user asked for begins
    bool refreshQueued_ = false;            // the next poll answers a refresh asked too soon
    QTimer timer_{this};  // the pending next poll: a child named "nextPoll", as tests find it
};

}  // namespace brimlet

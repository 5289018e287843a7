#include "quota/QuotaPoller.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <algorithm>

#include "quota/Credential.h"
#include "quota/CredentialStore.h"
#include "quota/UsageEndpoint.h"

namespace brimlet {
namespace {

using namespace std::chrono_literals;

constexpr auto productionIdleTimeout = 20s;
// A server that drips its answer a byte at a time never trips the idle time-out.
constexpr auto productionDeadline = 30s;

// One client for the whole process, made on first use from the main thread and parented to the
// application object so that it, and any reply still in flight, goes away with it.
QNetworkAccessManager& sharedNetwork() {
    static QPointer<QNetworkAccessManager> network;
    if (network == nullptr) {
        network = new QNetworkAccessManager(QCoreApplication::instance());
    }
    return *network;
}

// A failure of the transfer itself, as opposed to an HTTP answer that Qt also flags as an error
// (401 arrives as AuthenticationRequiredError, 500 as InternalServerError). Errors of the network
// layer count even after a status line, such as a body cut off or stalled mid-way.
[[nodiscard]] bool isTransportError(QNetworkReply::NetworkError error, int status) {
    const bool networkLayer =
        error > QNetworkReply::NoError && error <= QNetworkReply::UnknownNetworkError;
    return networkLayer || (error != QNetworkReply::NoError && status == 0);
}

}  // namespace

QuotaPoller::QuotaPoller()
    : QuotaPoller(QUrl(QString::fromUtf8(usageEndpoint)), systemNow, productionIdleTimeout,
                  productionDeadline) {}

QuotaPoller::QuotaPoller(QUrl endpoint, Clock clock, std::chrono::milliseconds idleTimeout,
                         std::chrono::milliseconds deadline)
    : endpoint_(std::move(endpoint)),
      clock_(std::move(clock)),
      idleTimeout_(idleTimeout),
      deadline_(deadline) {
    timer_.setObjectName(QStringLiteral("nextPoll"));
    timer_.setSingleShot(true);
    // A coarse timer may be off by 5 %, nine seconds of a three-minute interval.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &QuotaPoller::fetch);
}

void QuotaPoller::start() {
    fetch();
}

void QuotaPoller::refreshNow() {
    if (inFlight_ != nullptr || refreshQueued_) {
        return;
    }
    const QDateTime now = clock_();
    const qint64 every = std::chrono::milliseconds(refreshEvery).count();
    // The latest may still lie ahead, when it was put off; a clock set back further than that
    // counts as the interval being up.
    const qint64 since = lastRefresh_ ? lastRefresh_->msecsTo(now) : every;
    if (since > -every && since < every) {
        refreshQueued_ = true;
        lastRefresh_ = lastRefresh_->addMSecs(every);
        if (!timer_.isActive() || timer_.remainingTime() > every - since) {
            timer_.start(std::chrono::milliseconds(every - since));
        }
        return;
    }
    lastRefresh_ = now;
    timer_.stop();
    backoffStep_ = 0;
    fetch();
}

std::chrono::milliseconds QuotaPoller::pollInterval(int backoffStep) {
    return std::min<std::chrono::milliseconds>(baseInterval * (1 << backoffStep), maxInterval);
}

std::optional<QString> QuotaPoller::readToken() {
    const auto secret = readStoredCredential();
    return secret ? accessTokenFrom(*secret) : std::nullopt;
}

void QuotaPoller::fetch() {
    if (inFlight_ != nullptr) {
        return;
    }
    refreshQueued_ = false;
    const auto token = readToken();
    if (!token) {
        finish(std::nullopt, unreadableCredentialMessage());
        return;
    }
    QNetworkRequest request(endpoint_);
    request.setRawHeader("Authorization", "Bearer " + token->toUtf8());
    request.setRawHeader("anthropic-beta", "oauth-2025-04-20");
    request.setTransferTimeout(static_cast<int>(idleTimeout_.count()));
    // The bearer token goes to the configured origin only: a redirect is reported, not followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* const reply = sharedNetwork().get(request);
    // Qt's network thread reads ahead of us into the reply without a bound: on a busy machine an
    // endless answer piled up tens of megabytes before we saw it pass the limit. A full buffer
    // makes it stop reading; twice the limit, since it stops short of a full buffer by as much as
    // a read, and stopping below the limit would leave an endless answer to time out instead.
    reply->setReadBufferSize(2 * maxBodyBytes);
    inFlight_ = reply;
    inFlightTooLarge_ = false;
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { complete(*reply); });
    const auto watchSize = [this, reply] { refuseIfTooLarge(*reply); };
    connect(reply, &QNetworkReply::metaDataChanged, this, watchSize);
    connect(reply, &QNetworkReply::readyRead, this, watchSize);
    // Ends with the reply: a finished request is never aborted late.
    QTimer::singleShot(deadline_, reply, &QNetworkReply::abort);
}

// By the length announced, or by what has arrived, however it comes (also without a length).
void QuotaPoller::refuseIfTooLarge(QNetworkReply& reply) {
    const QVariant announced = reply.header(QNetworkRequest::ContentLengthHeader);
    if (reply.bytesAvailable() > maxBodyBytes ||
        (announced.isValid() && announced.toLongLong() > maxBodyBytes)) {
        inFlightTooLarge_ = true;
        reply.abort();
    }
}

void QuotaPoller::complete(QNetworkReply& reply) {
    inFlight_ = nullptr;
    const QVariant statusAttribute = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusAttribute.isValid() ? statusAttribute.toInt() : 0;
    // An answer refused for its size ends as a cancelled transfer; its status still tells. One
    // cancelled by the deadline or the idle time-out would show Qt's English words in the menu.
    const bool timedOut = reply.error() == QNetworkReply::OperationCanceledError ||
                          reply.error() == QNetworkReply::TimeoutError;
    if (!inFlightTooLarge_ && timedOut) {
        finish(std::nullopt, QStringLiteral("응답 시간 초과"));
    } else if (!inFlightTooLarge_ && isTransportError(reply.error(), status)) {
        finish(std::nullopt, reply.errorString());
    } else if (status != 200) {
        finish(std::nullopt, QStringLiteral("HTTP ") + QString::number(status));
    } else {
        const QList<Bucket> parsed = inFlightTooLarge_ ? QList<Bucket>() : parse(reply.readAll());
        finish(parsed,
               parsed.isEmpty() ? std::optional(QStringLiteral("응답 형식이 바뀜")) : std::nullopt);
    }
}

void QuotaPoller::finish(const std::optional<QList<Bucket>>& buckets,
                         const std::optional<QString>& message) {
    if (buckets && !buckets->isEmpty()) {
        buckets_ = *buckets;
        lastSuccess_ = clock_();
        lastError_.reset();
        backoffStep_ = 0;
    } else {
        lastError_ = message;
        backoffStep_ = std::min(backoffStep_ + 1, maxBackoffStep);
    }
    scheduleNext();
    if (onUpdate) {
        onUpdate();
    }
}

// The one member timer is the only pending poll: restarting it replaces the earlier one.
void QuotaPoller::scheduleNext() {
    timer_.start(pollInterval(backoffStep_));
}

}  // namespace brimlet

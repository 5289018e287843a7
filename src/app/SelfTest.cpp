#include "app/SelfTest.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <chrono>

#include "app/CommandLine.h"
#include "base/ConsoleOutput.h"
#include "base/FileWrite.h"
#include "base/NumberFormat.h"
#include "quota/QuotaPoller.h"
#include "ui/GaugeRenderer.h"

namespace brimlet {
namespace {

using namespace std::chrono_literals;

constexpr auto longestWait = 30s;
constexpr auto waitSlice = 100ms;
constexpr int scale = 10;
const Signal sampleActivity{40.0, 0.0};

// Keeps the main event loop turning, in slices of at most 0.1 s, until the poller has reported
// or the wait is over: its answer is delivered on this thread.
void waitForReport(const bool& reported) {
    if (reported) {
        return;  // no token: the poller finished inside start()
    }
    const QDeadlineTimer deadline(longestWait);
    QTimer slice;
    slice.start(waitSlice);
    while (!reported && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// An ISO 8601 internet date-time in UTC without fractional seconds: the fraction is dropped.
QString resetText(const std::optional<QDateTime>& resetsAt) {
    if (!resetsAt) {
        return QStringLiteral("-");
    }
    return resetsAt->toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'Z';
}

void printBuckets(const QuotaPoller& poller) {
    const QList<Bucket>& buckets = poller.buckets();
    if (buckets.isEmpty()) {
        printLine(QStringLiteral("잔량 실패 — ") +
                  poller.lastError().value_or(QStringLiteral("타임아웃")));
        return;
    }
    printLine(QStringLiteral("잔량 파싱 성공 — ") + QString::number(buckets.size()) +
              QStringLiteral("줄"));
    for (const Bucket& bucket : buckets) {
        printLine(QStringLiteral("  ") + bucket.label() + QStringLiteral(" : 사용 ") +
                  printfWhole(bucket.usedPercent()) + QStringLiteral("% / 남음 ") +
                  printfWhole(bucket.remaining()) + QStringLiteral("% / 리셋 ") +
                  resetText(bucket.resetsAt()));
    }
}

// The gauge ten times enlarged on a dark grey background; a null image when it can't be drawn.
QImage drawGauge(const QList<Bucket>& buckets) {
    GaugeRenderer gauge;
    gauge.buckets = buckets;
    gauge.activity = sampleActivity;
    (void)gauge.advance();
    QImage bitmap(static_cast<int>(GaugeRenderer::width * scale),
                  static_cast<int>(GaugeRenderer::height * scale), QImage::Format_RGBA8888);
    if (bitmap.isNull()) {
        return {};
    }
    QPainter painter;
    if (!painter.begin(&bitmap)) {
        return {};
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.fillRect(QRectF(0, 0, GaugeRenderer::width, GaugeRenderer::height),
                     QColor::fromRgbF(0.12F, 0.12F, 0.12F));
    gauge.draw(painter);
    painter.end();
    return bitmap;
}

// Encodes and writes the PNG. A path the user names is created or replaced in place, and only a
// regular file is written: a FIFO at the path would otherwise hold the run until someone reads it.
// The default path lies in a folder every user shares, where anyone may plant a link to one of our
// files under its name: there a new file is renamed over whatever is at the path, never written
// through it (and the folder's sticky bit refuses to replace someone else's file).
bool savePng(const QImage& bitmap, const QString& out) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !bitmap.save(&buffer, "PNG")) {
        return false;
    }
    const auto failure =
        out == defaultSelfTestPath ? writeFileReplacing(out, png) : writeFileInPlace(out, png);
    return !failure.has_value();
}

}  // namespace

int runSelfTest(const QString& out) {
    bool reported = false;
    QuotaPoller poller;
    poller.onUpdate = [&reported] { reported = true; };
    poller.start();
    waitForReport(reported);
    printBuckets(poller);

    const QImage bitmap = drawGauge(poller.buckets());
    if (bitmap.isNull() || !savePng(bitmap, out)) {
        printLine(QStringLiteral("렌더 실패"));
        return 1;
    }
    printLine(QStringLiteral("렌더 저장 → ") + out);
    return 0;
}

}  // namespace brimlet

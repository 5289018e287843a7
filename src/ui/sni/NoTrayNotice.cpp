#include "ui/sni/NoTrayNotice.h"

#include <QDBusMessage>

#include "base/ConsoleOutput.h"

namespace brimlet {
namespace {

const QString kSummary = QStringLiteral("Brimlet: 트레이를 찾지 못했습니다");
const QString kHow = QStringLiteral(
    "패널에 트레이가 생기면 게이지가 바로 나타납니다. GNOME에서는 \"AppIndicator and "
    "KStatusNotifierItem Support\" 확장을 켜면 보입니다.");

}  // namespace

NoTrayNotice::NoTrayNotice(QDBusConnection connection, std::function<bool()> shown, QObject* parent)
    : QObject(parent), connection_(std::move(connection)), shown_(std::move(shown)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &NoTrayNotice::checkOnce);
    timer_.start(graceMs);
}

QString NoTrayNotice::line() {
    return kSummary + QStringLiteral(". ") + kHow;
}

void NoTrayNotice::checkOnce() {
    if (shown_()) {
        return;
    }
    printError(line() + u'\n');
    // Sent without waiting for an answer: a missing or stuck notification service holds up
    // nothing, and its error is of no use to anyone.
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("Brimlet") << 0U << QString() << kSummary << kHow << QStringList()
           << QVariantMap() << -1;
    notify.setAutoStartService(false);
    (void)connection_.send(notify);
}

}  // namespace brimlet

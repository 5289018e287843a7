#include "ui/sni/LinuxStatusItem.h"

#include <QCoreApplication>
#include <QSystemTrayIcon>

#include "base/ConsoleOutput.h"
#include "ui/TrayStatusItem.h"
#include "ui/sni/NoTrayNotice.h"
#include "ui/sni/StatusNotifierItem.h"

namespace brimlet {

LinuxStatusItem::LinuxStatusItem(double length, const QDBusConnection& connection, bool x11)
    : length_(length),
      x11_(x11),
      statusNotifier_(std::make_unique<StatusNotifierItem>(length, connection)),
      chooser_(x11, statusNotifier_->isWatcherPresent()) {
    clock_.start();
    statusNotifier_->menuNeedsUpdate = [this] { return currentMenu(); };
    statusNotifier_->onAction = [this](MenuAction action) { runAction(action); };
    connect(statusNotifier_.get(), &StatusNotifierItem::presenceChanged, this,
            &LinuxStatusItem::choose);
    recheck_.setSingleShot(true);
    connect(&recheck_, &QTimer::timeout, this, &LinuxStatusItem::choose);
    choose();
    // Shown by a watcher that holds our registration, or by an XEmbed tray on X11.
    new NoTrayNotice(
        connection,
        [this] {
            return statusNotifier_->isRegistered() ||
                   (xembed_ && QSystemTrayIcon::isSystemTrayAvailable());
        },
        this);
}

LinuxStatusItem::~LinuxStatusItem() = default;

void LinuxStatusItem::setGauge(const GaugeFace& face) {
    face_ = face;
    statusNotifier_->setGauge(face);
    if (xembed_) {
        xembed_->setGauge(face);
    }
}

void LinuxStatusItem::menuMayHaveChanged() {
    statusNotifier_->menuMayHaveChanged();
}

Placement LinuxStatusItem::placement() const {
    return xembed_ ? xembed_->placement() : statusNotifier_->placement();
}

void LinuxStatusItem::choose() {
    if (statusNotifier_->isConnectionLost() && !x11_) {
        printError(
            QStringLiteral("Brimlet: 세션 버스 연결이 끊겨 트레이에 보일 수 없어 종료합니다\n"));
        QCoreApplication::exit(1);
        return;
    }
    const qint64 now = clock_.elapsed();
    chooser_.observe(statusNotifier_->isWatcherPresent(), statusNotifier_->isRegistered(), now);
    const bool wantXEmbed = chooser_.face(now) == TrayFaceChooser::Face::XEmbed;
    if (wantXEmbed && !xembed_) {
        xembed_ = std::make_unique<TrayStatusItem>(length_, squareTrayPicture,
                                                   TrayStatusItem::LeftClick::PopUpMenu,
                                                   RecordsMenu::Look::Plain);
        xembed_->menuNeedsUpdate = [this] { return currentMenu(); };
        xembed_->onAction = [this](MenuAction action) { runAction(action); };
        if (face_) {
            xembed_->setGauge(*face_);
        }
    } else if (!wantXEmbed) {
        xembed_.reset();
    }
    if (const auto next = chooser_.nextChange(now)) {
        recheck_.start(static_cast<int>(*next - now));
    } else {
        recheck_.stop();
    }
}

}  // namespace brimlet

#include "ui/AppDelegate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimeZone>
#include <algorithm>
#include <chrono>

#include "base/ClaudeFolders.h"
#include "base/ConsoleOutput.h"
#include "base/NumberFormat.h"
#include "login/LoginItem.h"
#include "quota/CredentialStore.h"
#include "ui/StatusMenu.h"

namespace brimlet {
namespace {

using namespace std::chrono_literals;

constexpr qint64 staleAfterMs = 450'000;
constexpr auto placementDelay = 2s;

QString rectangle(const QRectF& r) {
    return u'(' + decimalWithFraction(r.x()) + QStringLiteral(", ") + decimalWithFraction(r.y()) +
           QStringLiteral(", ") + decimalWithFraction(r.width()) + QStringLiteral(", ") +
           decimalWithFraction(r.height()) + u')';
}

}  // namespace

AppDelegate::AppDelegate(QString version, bool debug, StatusItemFactory makeStatusItem,
                         PulseCadence cadence)
    : version_(std::move(version)),
      debug_(debug),
      makeStatusItem_(std::move(makeStatusItem)),
      gauge_(systemNow, cadence) {}

AppDelegate::~AppDelegate() {
    delete loginAlert_;
}

bool AppDelegate::isStale(const std::optional<QDateTime>& lastSuccess, const QDateTime& now) {
    return !lastSuccess || lastSuccess->msecsTo(now) > staleAfterMs;
}

void AppDelegate::applicationDidFinishLaunching() {
    statusItem_ = makeStatusItem_(GaugeRenderer::width);
    const QPointer<AppDelegate> self(this);
    statusItem_->menuNeedsUpdate = [self] { return self ? self->menuNeedsUpdate() : MenuItems{}; };
    statusItem_->onAction = [self](MenuAction action) {
        if (self) {
            self->perform(action);
        }
    };
    const auto rerender = [self] {
        if (self) {
            self->render();
        }
    };
    poller_.onUpdate = rerender;
    activity_.onUpdate = rerender;
    poller_.start();
    activity_.start();
    animTimer_.setTimerType(Qt::PreciseTimer);
    animTimer_.setInterval(gauge_.cadence().step);
    connect(&animTimer_, &QTimer::timeout, this, &AppDelegate::animate);
    staleTimer_.setSingleShot(true);
    connect(&staleTimer_, &QTimer::timeout, this, &AppDelegate::render);
    render();
    if (debug_) {
        dumpDataSources();
        dumpPlacement();
    }
}

void AppDelegate::render() {
    gauge_.buckets = poller_.buckets();
    gauge_.stale = isStale(poller_.lastSuccess(), systemNow());
    gauge_.activity = activity_.signal();
    if (statusItem_) {
        statusItem_->setGauge(gauge_.face());
        statusItem_->menuMayHaveChanged();
    }
    scheduleAnimation();
    scheduleStaleness();
}

// Steps the pulse while a dot is lit; the item draws only when the picture changes. The menu's
// rows never change here.
void AppDelegate::animate() {
    if (gauge_.advance() && statusItem_) {
        statusItem_->setGauge(gauge_.face());
    }
    scheduleAnimation();
}

// The timer runs while a dot is lit, and on for the one step that puts the pulse back at rest
// once none is: idle, the program wakes only for its 2-second look at the transcripts.
void AppDelegate::scheduleAnimation() {
    const bool lit = isActiveRate(gauge_.activity.opusRate) ||
                     isActiveRate(gauge_.activity.fableRate) || gauge_.phase() != 0;
    if (!lit) {
        animTimer_.stop();
    } else if (!animTimer_.isActive()) {
        animTimer_.start();
    }
}

// The bars fade 450 s after the last good poll; without a poll in between (the back-off waits
// up to 15 minutes) nothing else would redraw them then.
void AppDelegate::scheduleStaleness() {
    const std::optional<QDateTime> lastSuccess = poller_.lastSuccess();
    if (!lastSuccess || gauge_.stale) {
        staleTimer_.stop();
        return;
    }
    const qint64 untilStale = staleAfterMs + 1 - lastSuccess->msecsTo(systemNow());
    staleTimer_.start(static_cast<int>(std::clamp<qint64>(untilStale, 0, staleAfterMs + 1)));
}

MenuItems AppDelegate::menuNeedsUpdate() const {
    MenuState state;
    state.buckets = poller_.buckets();
    state.lastError = poller_.lastError();
    state.lastSuccess = poller_.lastSuccess();
    state.activity = activity_.signal();
    state.launchAtLogin = LoginItem::isEnabled();
    state.version = version_;
    return buildStatusMenu(state, QTimeZone::systemTimeZone());
}

void AppDelegate::perform(MenuAction action) {
    switch (action) {
        case MenuAction::Refresh:
            refresh();
            break;
        case MenuAction::ToggleLogin:
            toggleLogin();
            break;
        case MenuAction::Quit:
            QCoreApplication::quit();
            break;
        case MenuAction::None:
            break;
    }
}

void AppDelegate::refresh() {
    poller_.refreshNow();
}

// Any client on the bus can queue clicks by the thousand. While the alert of a failed switch is
// up they do nothing, and the alert has no event loop of its own: one run by exec() would carry
// out the next queued click inside it and stack one more alert per click, until the stack ran out.
void AppDelegate::toggleLogin() {
    if (loginAlert_) {
        return;
    }
    const std::optional<QString> error = LoginItem::set(!LoginItem::isEnabled());
    if (!error) {
        return;  // the check mark follows at the next opening of the menu
    }
    loginAlert_ = new QMessageBox(QMessageBox::Warning, QString(),
                                  QStringLiteral("로그인 항목을 바꾸지 못했습니다"));
    loginAlert_->setInformativeText(*error);
    loginAlert_->setAttribute(Qt::WA_DeleteOnClose);
    loginAlert_->setModal(false);
    loginAlert_->show();
}

// Where Claude Code's data is looked for, so that a gauge that shows nothing can be explained.
void AppDelegate::dumpDataSources() {
    QString lines = QStringLiteral("[debug] credential=") + credentialLocation() + u'\n';
    for (const QString& root :
         transcriptRoots(QProcessEnvironment::systemEnvironment(), QDir::homePath())) {
        lines += QStringLiteral("[debug] transcripts=") + root +
                 (QFileInfo(root).isDir() ? QString() : QStringLiteral(" (missing)")) + u'\n';
    }
    printError(lines);
}

void AppDelegate::dumpPlacement() {
    QTimer::singleShot(placementDelay, this, [this] {
        if (!statusItem_) {
            return;
        }
        const Placement placement = statusItem_->placement();
        printError(QStringLiteral("[debug] length=") + decimalWithFraction(placement.length) +
                   QStringLiteral(" visible=") +
                   (placement.visible ? QStringLiteral("true") : QStringLiteral("false")) +
                   QStringLiteral("\n[debug] window=") + rectangle(placement.window) +
                   QStringLiteral("\n[debug] screen=") + rectangle(placement.screen) + u'\n');
    });
}

}  // namespace brimlet

#include "ui/AppDelegate.h"

#include <QCoreApplication>
#include <QTimeZone>
#include <chrono>

#include "base/ConsoleOutput.h"
#include "base/NumberFormat.h"
#include "login/LoginItem.h"
#include "ui/StatusMenu.h"

namespace brimlet {
namespace {

using namespace std::chrono_literals;

constexpr auto animationStep = 83ms;  // about twelve steps a second
constexpr qint64 staleAfterMs = 450'000;
constexpr auto placementDelay = 2s;

QString rectangle(const QRectF& r) {
    return u'(' + decimalWithFraction(r.x()) + QStringLiteral(", ") + decimalWithFraction(r.y()) +
           QStringLiteral(", ") + decimalWithFraction(r.width()) + QStringLiteral(", ") +
           decimalWithFraction(r.height()) + u')';
}

}  // namespace

AppDelegate::AppDelegate(QString version, bool debug, StatusItemFactory makeStatusItem)
    : version_(std::move(version)), debug_(debug), makeStatusItem_(std::move(makeStatusItem)) {}

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
    connect(&animTimer_, &QTimer::timeout, this, &AppDelegate::animate);
    animTimer_.start(animationStep);
    render();
    if (debug_) {
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
}

// Runs twelve times a second for the life of the program, so it costs one advance() while idle;
// the item draws only when the dots change. The menu's rows never change here.
void AppDelegate::animate() {
    if (gauge_.advance() && statusItem_) {
        statusItem_->setGauge(gauge_.face());
    }
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

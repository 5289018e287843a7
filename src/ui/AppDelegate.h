#pragma once

#include <QDateTime>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

#include "activity/ActivityMonitor.h"
#include "quota/QuotaPoller.h"
#include "ui/GaugeRenderer.h"
#include "ui/MenuItem.h"
#include "ui/StatusItem.h"

namespace brimlet {

// The menu-bar application: owns the status item and its menu, both data sources, the gauge and
// its animation for the life of the process. Everything runs on the main thread.
class AppDelegate : public QObject {
    Q_OBJECT

  public:
    // Creates the sources and the renderer; starts nothing. `version` is shown at the foot of the
    // menu; `debug` asks for one placement dump on standard error after launching;
    // `makeStatusItem` makes the platform's status item at launch, whose dots pulse as `cadence`
    // says.
    AppDelegate(QString version, bool debug, StatusItemFactory makeStatusItem,
                PulseCadence cadence);
    ~AppDelegate() override;

    // Called once, from the running event loop, when launching is done.
    void applicationDidFinishLaunching();

    // Quota data is stale when no poll ever succeeded or the last success is more than 450 s old.
    [[nodiscard]] static bool isStale(const std::optional<QDateTime>& lastSuccess,
                                      const QDateTime& now);

  private:
    void render();
    void animate();
    void scheduleAnimation();
    void scheduleStaleness();
    [[nodiscard]] MenuItems menuNeedsUpdate() const;
    void perform(MenuAction action);
    void refresh();
    void toggleLogin();
    void dumpDataSources();
    void dumpPlacement();

    const QString version_;
    const bool debug_;
    const StatusItemFactory makeStatusItem_;
    std::unique_ptr<StatusItem> statusItem_;
    GaugeRenderer gauge_;
    QuotaPoller poller_;
    ActivityMonitor activity_;
    QTimer animTimer_;   // runs only while a dot pulses: an idle gauge wakes nobody
    QTimer staleTimer_;  // the moment the quota turns stale, when no poll comes before it
    QPointer<QMessageBox> loginAlert_;  // the failed launch-at-login switch's alert, while shown
};

}  // namespace brimlet

#pragma once

#include <QEventLoop>
#include <QMetaObject>

#include "activity/ActivityMonitor.h"
#include "activity/SerialQueue.h"

namespace brimlet {

// Runs single ticks of a monitor, so that tests and benchmarks need not wait for its timer.
class ActivityMonitorProbe {
  public:
    // One tick as the timer runs it, without waiting for it.
    static void tick(ActivityMonitor& monitor) { monitor.tick(); }

    // One tick as the timer runs it; returns once it is done and its Signal, if it changed, has
    // been published (and onUpdate called).
    static void tickAndWait(ActivityMonitor& monitor) {
        monitor.tick();
        drain(monitor);
    }

    // Returns once every tick asked for so far is done. The marker queued behind them is posted to
    // the main thread after their publications, and posted calls arrive in order.
    static void drain(ActivityMonitor& monitor) {
        QEventLoop loop;
        monitor.queue_->async([&monitor, &loop] {
            QMetaObject::invokeMethod(
                &monitor, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
        loop.exec();
    }
};

}  // namespace brimlet

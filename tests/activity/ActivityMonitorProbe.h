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

    // One tick as the timer runs it; returns once its Signal has been published (and onUpdate
    // called). The marker queued behind the tick is posted to the main thread after the tick's
    // publication, and posted calls arrive in order, so the marker comes second.
    static void tickAndWait(ActivityMonitor& monitor) {
        monitor.tick();
        QEventLoop loop;
        monitor.queue_->async([&monitor, &loop] {
            QMetaObject::invokeMethod(
                &monitor, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
        loop.exec();
    }
};

}  // namespace brimlet

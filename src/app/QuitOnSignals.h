#pragma once

#include <QSocketNotifier>
#include <memory>

namespace brimlet {

// Ends the application's event loop when the process is asked to stop (SIGTERM from a session
// manager or `kill`, SIGINT from Ctrl+C in a terminal, SIGHUP when that terminal closes), so that
// it exits with status 0 through the same orderly path as the menu's quit item. The handler only
// writes a byte to a pipe; the loop reads it. One per process, on the main thread.
class QuitOnSignals {
  public:
    QuitOnSignals();
    ~QuitOnSignals();
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace brimlet

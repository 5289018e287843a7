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
    // Installs the handler, then lets through the signals holdStopSignals() held back.
    QuitOnSignals();
    ~QuitOnSignals();
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

    // Holds the stop signals back until a QuitOnSignals is made. Qt takes some 20 ms to start,
    // before the handler can be in place; a signal in that time then waits and ends the loop
    // like any other, instead of ending the process by the default action with status 143. Call
    // first thing on the main thread: threads started meanwhile keep them blocked, so that they
    // reach the main thread.
    static void holdStopSignals();

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace brimlet

#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace brimlet {

// One named worker thread that runs submitted tasks one at a time, in the order submitted.
class SerialQueue {
  public:
    explicit SerialQueue(const QString& label);
    // Tasks not yet begun are dropped; a running one is waited for. Whatever the tasks use must
    // therefore outlive the queue, not the other way round.
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> task);

  private:
    void runTasks();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool closing_ = false;
    std::unique_ptr<QThread> thread_;
};

}  // namespace brimlet

#include "activity/SerialQueue.h"

#include <QThread>

namespace brimlet {
namespace {

// The transcript reader recurses once per nesting level of a JSON line (up to 1024); a fixed
// stack keeps that safe where secondary threads get little by default (512 KiB on macOS).
constexpr uint kStackBytes = 8 * 1024 * 1024;

}  // namespace

SerialQueue::SerialQueue(const QString& label)
    : thread_(QThread::create(&SerialQueue::runTasks, this)) {
    thread_->setObjectName(label);  // becomes the thread's name in debuggers and crash reports
    thread_->setStackSize(kStackBytes);
    thread_->start();
}

SerialQueue::~SerialQueue() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    thread_->wait();
}

void SerialQueue::async(std::function<void()> task) {
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void SerialQueue::runTasks() {
    while (true) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
            if (closing_) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace brimlet

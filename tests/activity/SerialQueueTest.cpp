#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <future>
#include <vector>

#include "activity/SerialQueue.h"

namespace brimlet {
namespace {

TEST(SerialQueueTest, RunsTasksOneAtATimeInOrder) {
    std::vector<int> order;
    std::vector<int> expected;
    {
        SerialQueue queue(QStringLiteral("test"));
        for (int i = 0; i < 100; ++i) {
            queue.async([&order, i] { order.push_back(i); });
            expected.push_back(i);
        }
        std::promise<void> done;
        queue.async([&done] { done.set_value(); });
        done.get_future().wait();
    }
    EXPECT_EQ(order, expected);
}

TEST(SerialQueueTest, DestructionWaitsForTheRunningTaskAndDropsTheRest) {
    std::atomic<bool> finished = false;
    std::atomic<int> laterRuns = 0;
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::thread releaser;
    {
        SerialQueue queue(QStringLiteral("test"));
        queue.async([&] {
            started.set_value();
            released.wait();
            finished = true;
        });
        for (int i = 0; i < 10; ++i) {
            queue.async([&laterRuns] { ++laterRuns; });
        }
        started.get_future().wait();
        releaser = std::thread([&release] {
            QThread::msleep(50);
            release.set_value();
        });
    }
    EXPECT_TRUE(finished);
    EXPECT_EQ(laterRuns, 0);
    releaser.join();
}

}  // namespace
}  // namespace brimlet

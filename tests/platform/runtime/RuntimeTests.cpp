#include "MainQueue.h"
#include "SerialQueue.h"
#include "Timer.h"
#include "VirtualScheduler.h"
#include "QtScheduler.h"
#include "TestSupport.h"

#include <QThread>
#include <atomic>
#include <limits>
#include <thread>
#include <gtest/gtest.h>
#include <vector>

TEST(VirtualScheduler, RunsDueWorkInTimeOrderAndTiesInScheduleOrder)
{
    VirtualScheduler scheduler;
    std::vector<int> order;
    scheduler.schedule(3.0, [&] { order.push_back(3); });
    scheduler.schedule(1.0, [&] { order.push_back(1); });
    scheduler.schedule(1.0, [&] { order.push_back(11); });
    scheduler.schedule(5.0, [&] { order.push_back(5); });
    scheduler.advance(2.9);
    EXPECT_EQ(order, (std::vector<int>{1, 11}));
    scheduler.advance(0.1);
    EXPECT_EQ(order, (std::vector<int>{1, 11, 3}));
    EXPECT_EQ(scheduler.pendingCount(), 1);
    EXPECT_DOUBLE_EQ(scheduler.nextDueIn(), 2.0);
}

TEST(VirtualScheduler, DelaysPastTheClocksRangeStayInTheFuture)
{
    VirtualScheduler scheduler;
    scheduler.advance(10);
    std::vector<int> ran;
    scheduler.schedule(std::numeric_limits<double>::infinity(), [&] { ran.push_back(1); });
    scheduler.schedule(1e17, [&] { ran.push_back(2); });
    scheduler.schedule(std::numeric_limits<double>::quiet_NaN(), [&] { ran.push_back(3); });
    scheduler.advance(0);
    EXPECT_EQ(ran, (std::vector<int>{3}));
    scheduler.advance(100.0 * 365 * 24 * 3600);
    EXPECT_EQ(ran, (std::vector<int>{3}));
    EXPECT_EQ(scheduler.pendingCount(), 2);
    EXPECT_GT(scheduler.nextDueIn(), 0);
}

TEST(VirtualScheduler, WorkScheduledByWorkRunsWithinTheSameAdvance)
{
    VirtualScheduler scheduler;
    const QDateTime start = scheduler.now();
    QDateTime ranAt;
    scheduler.schedule(1.0, [&] { scheduler.schedule(1.0, [&] { ranAt = scheduler.now(); }); });
    scheduler.advance(5.0);
    EXPECT_EQ(start.msecsTo(ranAt), 2000);
    EXPECT_EQ(start.msecsTo(scheduler.now()), 5000);
}

TEST(VirtualScheduler, CancelledWorkNeverRuns)
{
    VirtualScheduler scheduler;
    bool ran = false;
    auto token = scheduler.schedule(1.0, [&] { ran = true; });
    scheduler.cancel(token);
    scheduler.cancel(token + 100);
    scheduler.advance(10);
    EXPECT_FALSE(ran);
}

TEST(Timer, RepeatsUntilStoppedAndStopsWhenDestroyed)
{
    VirtualScheduler scheduler;
    int fired = 0;
    {
        Timer timer(scheduler);
        timer.start(1.0, true, [&] {
            if (++fired == 3)
                timer.stop();
        });
        scheduler.advance(10);
        EXPECT_EQ(fired, 3);
        EXPECT_FALSE(timer.isActive());
        timer.start(1.0, true, [&] { ++fired; });
    }
    scheduler.advance(10);
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST(Timer, OneShotFiresOnceAndRestartReplacesPending)
{
    VirtualScheduler scheduler;
    int a = 0, b = 0;
    Timer timer(scheduler);
    timer.start(2.0, false, [&] { ++a; });
    scheduler.advance(1.0);
    timer.start(2.0, false, [&] { ++b; });
    scheduler.advance(5.0);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_FALSE(timer.isActive());
}

TEST(QtScheduler, RunsOnTheMainThreadAfterTheDelay)
{
    QtScheduler scheduler;
    std::atomic<bool> ran{false};
    bool onMain = false;
    std::thread worker([&] {
        scheduler.schedule(0.02, [&] {
            onMain = MainQueue::isMainThread();
            ran = true;
        });
    });
    worker.join();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ran.load(); }));
    EXPECT_TRUE(onMain);
}

TEST(QtScheduler, CancelledWorkNeverRuns)
{
    QtScheduler scheduler;
    bool ran = false;
    auto token = scheduler.schedule(0.01, [&] { ran = true; });
    scheduler.cancel(token);
    TestSupport::processEvents(50);
    EXPECT_FALSE(ran);
}

TEST(QtScheduler, ThreadsMayScheduleAndCancelWhileTheMainThreadRunsWork)
{
    QtScheduler scheduler;
    constexpr int threads = 4;
    constexpr int perThread = 300;
    std::atomic<int> ran{0};
    std::atomic<int> cancelledRan{0};
    std::atomic<bool> offMain{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < perThread; ++i) {
                scheduler.schedule(0, [&] {
                    if (!MainQueue::isMainThread())
                        offMain = true;
                    ++ran;
                });
                const auto token = scheduler.schedule(30, [&] { ++cancelledRan; });
                scheduler.cancel(token);
            }
        });
    }
    // The main thread keeps running due work while the workers fill the table.
    const bool allRan = TestSupport::waitUntil([&] { return ran.load() == threads * perThread; }, 10000);
    for (auto& worker : workers)
        worker.join();
    EXPECT_TRUE(allRan);
    TestSupport::processEvents(20);
    EXPECT_EQ(ran.load(), threads * perThread);
    EXPECT_EQ(cancelledRan.load(), 0);
    EXPECT_FALSE(offMain.load());
}

TEST(QtScheduler, DelaysBeyondTheTimersRangeNeverRunEarly)
{
    QtScheduler scheduler;
    // A QTimer counts in int milliseconds; these waits must not wrap into short ones.
    const double delays[] = { 4294967.346, 2147483.7, 1e12, std::numeric_limits<double>::infinity() };
    int early = 0;
    for (double delay : delays)
        scheduler.schedule(delay, [&] { ++early; });
    bool control = false;
    scheduler.schedule(0.2, [&] { control = true; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return control; }));
    EXPECT_EQ(early, 0);
}

TEST(QtScheduler, NonPositiveAndNotANumberDelaysRunOnTheNextTurn)
{
    QtScheduler scheduler;
    int ran = 0;
    for (double delay : { 0.0, -3.0, std::numeric_limits<double>::quiet_NaN() })
        scheduler.schedule(delay, [&] { ++ran; });
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return ran == 3; }, 1000));
}

TEST(MainQueue, HopsFromAnyThreadInPostedOrder)
{
    std::vector<int> order;
    std::vector<bool> onMain;
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i)
            MainQueue::async([&, i] {
                order.push_back(i);
                onMain.push_back(MainQueue::isMainThread());
            });
    });
    worker.join();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return order.size() == 5; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(onMain, std::vector<bool>(5, true));
}

TEST(SerialQueue, RunsInOrderOffTheMainThreadAndSyncWaits)
{
    SerialQueue queue("test.serial.queue");
    std::vector<int> order;
    bool offMain = true;
    for (int i = 0; i < 100; ++i)
        queue.async([&, i] {
            order.push_back(i);
            offMain = offMain && !MainQueue::isMainThread() && queue.isCurrent();
        });
    int seen = -1;
    queue.sync([&] { seen = int(order.size()); });
    EXPECT_EQ(seen, 100);
    EXPECT_TRUE(offMain);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(order[i], i);
    bool nested = false;
    queue.sync([&] { queue.sync([&] { nested = true; }); });
    EXPECT_TRUE(nested);
}

TEST(SerialQueue, DestructionFinishesQueuedWork)
{
    std::atomic<int> done{0};
    {
        SerialQueue queue("test.drain");
        for (int i = 0; i < 10; ++i)
            queue.async([&] { QThread::msleep(1); ++done; });
    }
    EXPECT_EQ(done.load(), 10);
}

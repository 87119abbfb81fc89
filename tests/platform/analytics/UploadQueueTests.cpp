#include "HttpsTestServerFixture.h"
#include "TestSupport.h"
#include "UploadQueue.h"
#include "VirtualScheduler.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <thread>

namespace {

class UploadQueueTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }

    UploadConfiguration config(int capacity = 100, int batchSize = 50)
    {
        UploadConfiguration c;
        c.endpoint = server.url();
        c.trustedCertificates = {server.caCertificate()};
        c.capacity = capacity;
        c.batchSize = batchSize;
        c.flushInterval = 60;
        c.scheduler = &clock;
        return c;
    }

    static QJsonObject item(int n) { return QJsonObject{{QStringLiteral("n"), n}}; }

    static QList<int> numbers(const QList<QJsonObject>& items)
    {
        QList<int> out;
        for (const auto& i : items)
            out.append(i.value(QStringLiteral("n")).toInt());
        return out;
    }

    // Flushes and waits until the queue has finished its delivery attempt.
    static void flushAndSettle(UploadQueue& queue)
    {
        queue.flush();
        ASSERT_TRUE(TestSupport::waitUntil([&] { return !queue.isDelivering(); }, 10000));
    }

    VirtualScheduler clock;
    HttpsTestServer server;
};

TEST_F(UploadQueueTest, DeliversInBatchesInOrder)
{
    UploadQueue queue(config(100, 2));
    for (int n = 1; n <= 5; ++n)
        queue.enqueue(item(n));
    queue.flush();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return queue.deliveredCount() == 5; }, 10000));
    EXPECT_EQ(server.requestCount(), 3);
    EXPECT_EQ(numbers(server.items()), (QList<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(server.contentTypes().value(0), "application/json");
    EXPECT_EQ(queue.pendingCount(), 0);
    EXPECT_TRUE(server.violations().isEmpty()) << server.violations().join(QLatin1Char('\n')).toStdString();
}

TEST_F(UploadQueueTest, StalledEndpointNeverHoldsTheCallerAndKeepsTheBatch)
{
    server.setStalled(true);
    UploadConfiguration c = config(100, 10);
    c.timeoutMs = 300;
    UploadQueue queue(c);
    queue.enqueue(item(1));
    queue.flush();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.requestCount() == 1; }, 10000));
    EXPECT_TRUE(queue.isDelivering());

    QElapsedTimer elapsed;
    elapsed.start();
    std::thread([&queue] { queue.enqueue(item(2)); queue.flush(); }).join();
    queue.enqueue(item(3));
    queue.flush();
    EXPECT_LT(elapsed.elapsed(), 100);
    EXPECT_EQ(queue.pendingCount(), 3);

    ASSERT_TRUE(TestSupport::waitUntil([&] { return queue.failedRequestCount() == 1; }, 10000));
    EXPECT_EQ(queue.pendingCount(), 3);
    server.setStalled(false);
    queue.flush();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return queue.deliveredCount() == 3; }, 10000));
    // The unanswered request may have reached the server; the batch is sent again in full.
    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(numbers(server.items()).mid(1), (QList<int>{1, 2, 3}));
}

TEST_F(UploadQueueTest, FlushIntervalRunsOnTheScheduler)
{
    UploadQueue queue(config());
    queue.enqueue(item(1));
    clock.advance(59);
    TestSupport::processEvents(50);
    EXPECT_EQ(server.requestCount(), 0);
    clock.advance(1);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return queue.deliveredCount() == 1; }, 10000));
}

TEST_F(UploadQueueTest, EndpointDownKeepsEverythingForTheNextFlush)
{
    server.stop();
    UploadQueue queue(config(10, 3));
    for (int n = 1; n <= 7; ++n)
        queue.enqueue(item(n));
    flushAndSettle(queue);
    EXPECT_EQ(queue.failedRequestCount(), 1);
    EXPECT_EQ(queue.pendingCount(), 7);

    ASSERT_TRUE(server.start());
    queue.flush();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return queue.deliveredCount() == 7; }, 10000));
    EXPECT_EQ(numbers(server.items()), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(queue.droppedCount(), 0);
}

TEST_F(UploadQueueTest, FullQueueDropsTheOldestAndCountsThem)
{
    server.stop();
    UploadQueue queue(config(4, 2));
    for (int n = 1; n <= 7; ++n)
        queue.enqueue(item(n));
    EXPECT_EQ(queue.pendingCount(), 4);
    EXPECT_EQ(queue.droppedCount(), 3);
    flushAndSettle(queue);
    queue.enqueue(item(8));  // the failed batch is back at the head and is now the oldest
    EXPECT_EQ(queue.droppedCount(), 4);

    ASSERT_TRUE(server.start());
    queue.flush();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return queue.pendingCount() == 0; }, 10000));
    EXPECT_EQ(numbers(server.items()), (QList<int>{5, 6, 7, 8}));
}

TEST_F(UploadQueueTest, RefusedStatusesKeepTheBatch)
{
    for (int status : {500, 503, 404, 302}) {
        SCOPED_TRACE(status);
        server.setStatus(status);
        UploadQueue queue(config());
        queue.enqueue(item(1));
        flushAndSettle(queue);
        EXPECT_EQ(queue.pendingCount(), 1);
        EXPECT_EQ(queue.deliveredCount(), 0);
    }
}

TEST_F(UploadQueueTest, UntrustedCertificateIsRefused)
{
    UploadConfiguration c = config();
    c.trustedCertificates.clear();
    UploadQueue queue(c);
    queue.enqueue(item(1));
    flushAndSettle(queue);
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(queue.pendingCount(), 1);
}

TEST_F(UploadQueueTest, PlainHttpEndpointSendsNothing)
{
    UploadConfiguration c = config();
    c.endpoint = QUrl(QStringLiteral("http://127.0.0.1:%1/batch").arg(server.port()));
    UploadQueue queue(c);
    queue.enqueue(item(1));
    queue.flush();
    TestSupport::processEvents(100);
    EXPECT_FALSE(queue.isDelivering());
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(queue.pendingCount(), 1);
}

TEST_F(UploadQueueTest, CallersOnOtherThreadsNeverWaitForTheNetwork)
{
    server.stop();  // every delivery attempt fails, nothing may block on it
    UploadQueue queue(config(1000, 10));
    QElapsedTimer elapsed;
    elapsed.start();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&queue, t] {
            for (int i = 0; i < 100; ++i) {
                queue.enqueue(item(t * 1000 + i));
                if (i % 25 == 0)
                    queue.flush();
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_LT(elapsed.elapsed(), 2000);
    EXPECT_EQ(queue.pendingCount(), 400);

    ASSERT_TRUE(server.start());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !queue.isDelivering(); }, 10000));
    queue.flush();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return queue.deliveredCount() == 400; }, 15000));
    EXPECT_EQ(server.items().size(), 400);
}

}

#include "NotificationCenter.h"

#include <QObject>
#include <QStringList>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <memory>
#include <thread>
#include <vector>

namespace {

const QString ping = QStringLiteral("Ping");
const QString pong = QStringLiteral("Pong");

TEST(NotificationCenter, DeliversToObserversOfTheNameInRegistrationOrder)
{
    NotificationCenter center;
    QObject owner;
    QStringList calls;
    for (const char* tag : {"first", "second", "third"}) {
        center.addObserver(ping, &owner, [&calls, tag](const Notification& n) {
            calls << QString::fromLatin1(tag) + ":" + n.name + ":" + n.object.toString() + ":"
                    + n.userInfo.value("k").toString();
        });
    }
    center.addObserver(pong, &owner, [&calls](const Notification&) { calls << "pong"; });

    center.post(ping, QStringLiteral("obj"), {{"k", "v"}});

    EXPECT_EQ(calls, QStringList({"first:Ping:obj:v", "second:Ping:obj:v", "third:Ping:obj:v"}));
}

TEST(NotificationCenter, DeliversSynchronouslyOnThePostingThread)
{
    NotificationCenter center;
    QObject owner;
    std::atomic<QThread*> deliveredOn = nullptr;
    center.addObserver(ping, &owner, [&](const Notification&) { deliveredOn = QThread::currentThread(); });

    QThread* poster = nullptr;
    std::thread worker([&] {
        poster = QThread::currentThread();
        center.post(ping);
        EXPECT_EQ(deliveredOn.load(), poster) << "delivered before post() returned, on the poster";
    });
    worker.join();
    EXPECT_NE(poster, QThread::currentThread());
}

TEST(NotificationCenter, ObserverOfADestroyedOwnerIsNeverCalledAgain)
{
    NotificationCenter center;
    int calls = 0;
    auto owner = std::make_unique<QObject>();
    center.addObserver(ping, owner.get(), [&](const Notification&) { ++calls; });
    center.post(ping);
    owner.reset();
    center.post(ping);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(ping), 0);
}

TEST(NotificationCenter, OwnerDestroyedByAnEarlierHandlerIsSkippedInTheSamePost)
{
    NotificationCenter center;
    QObject killerOwner;
    auto victim = std::make_unique<QObject>();
    QStringList calls;
    center.addObserver(ping, &killerOwner, [&](const Notification&) {
        calls << "killer";
        victim.reset();
    });
    center.addObserver(ping, victim.get(), [&](const Notification&) { calls << "victim"; });

    center.post(ping);
    center.post(ping);
    EXPECT_EQ(calls, QStringList({"killer", "killer"}));
}

TEST(NotificationCenter, ObserverWithoutOwnerStaysUntilRemovedByToken)
{
    NotificationCenter center;
    int calls = 0;
    const auto token = center.addObserver(ping, nullptr, [&](const Notification&) { ++calls; });
    center.post(ping);
    center.removeObserver(token);
    center.post(ping);
    EXPECT_EQ(calls, 1);
}

// Which removal is made after the first post, and which of the three observers still hear the
// second one. Observers a and b belong to owner 1 (a for Ping, b for Pong), c to owner 2.
struct RemovalCase {
    const char* label;
    std::function<void(NotificationCenter&, QObject*, QObject*, const std::vector<NotificationCenter::ObserverToken>&)> remove;
    QStringList heardAfter;
};

void PrintTo(const RemovalCase& c, std::ostream* os)
{
    *os << c.label;
}

class NotificationCenterRemoval : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(NotificationCenterRemoval, RemovesExactlyTheChosenObservers)
{
    NotificationCenter center;
    QObject owner1;
    QObject owner2;
    QStringList heard;
    std::vector<NotificationCenter::ObserverToken> tokens;
    tokens.push_back(center.addObserver(ping, &owner1, [&](const Notification&) { heard << "a"; }));
    tokens.push_back(center.addObserver(pong, &owner1, [&](const Notification&) { heard << "b"; }));
    tokens.push_back(center.addObserver(ping, &owner2, [&](const Notification&) { heard << "c"; }));

    GetParam().remove(center, &owner1, &owner2, tokens);
    center.post(ping);
    center.post(pong);
    EXPECT_EQ(heard, GetParam().heardAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotificationCenterRemoval,
    ::testing::Values(
        RemovalCase{"token", [](auto& c, auto*, auto*, const auto& t) { c.removeObserver(t[0]); }, {"c", "b"}},
        RemovalCase{"owner", [](auto& c, auto* o1, auto*, const auto&) { c.removeObserver(o1); }, {"c"}},
        RemovalCase{"ownerAndName", [](auto& c, auto* o1, auto*, const auto&) { c.removeObserver(o1, pong); },
                    {"a", "c"}},
        RemovalCase{"invalidToken",
                    [](auto& c, auto*, auto*, const auto&) { c.removeObserver(NotificationCenter::ObserverToken()); },
                    {"a", "c", "b"}},
        RemovalCase{"tokenTwice",
                    [](auto& c, auto*, auto*, const auto& t) {
                        c.removeObserver(t[2]);
                        c.removeObserver(t[2]);
                    },
                    {"a", "b"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(NotificationCenter, HandlerThatPostsDeliversTheNestedPostFirst)
{
    NotificationCenter center;
    QObject owner;
    QStringList calls;
    center.addObserver(ping, &owner, [&](const Notification&) {
        calls << "ping1";
        center.post(pong);
        calls << "ping1-done";
    });
    center.addObserver(ping, &owner, [&](const Notification&) { calls << "ping2"; });
    center.addObserver(pong, &owner, [&](const Notification&) { calls << "pong"; });

    center.post(ping);
    EXPECT_EQ(calls, QStringList({"ping1", "pong", "ping1-done", "ping2"}));
}

TEST(NotificationCenter, HandlerThatPostsItsOwnNameRecursesOnlyAsFarAsItChooses)
{
    NotificationCenter center;
    QObject owner;
    int depth = 0;
    int calls = 0;
    center.addObserver(ping, &owner, [&](const Notification&) {
        ++calls;
        if (++depth < 5)
            center.post(ping);
    });
    center.post(ping);
    EXPECT_EQ(calls, 5);
}

TEST(NotificationCenter, ObserverAddedDuringDeliveryHearsOnlyLaterPosts)
{
    NotificationCenter center;
    QObject owner;
    QStringList calls;
    bool added = false;
    center.addObserver(ping, &owner, [&](const Notification&) {
        calls << "adder";
        if (!added) {
            added = true;
            center.addObserver(ping, &owner, [&](const Notification&) { calls << "late"; });
        }
    });
    center.post(ping);
    EXPECT_EQ(calls, QStringList({"adder"}));
    center.post(ping);
    EXPECT_EQ(calls, QStringList({"adder", "adder", "late"}));
}

TEST(NotificationCenter, ObserverRemovedDuringDeliveryIsNotCalledAnymore)
{
    NotificationCenter center;
    QObject owner;
    QObject laterOwner;
    QStringList calls;
    NotificationCenter::ObserverToken self;
    self = center.addObserver(ping, &owner, [&](const Notification&) {
        calls << "remover";
        center.removeObserver(self);          // itself, while running
        center.removeObserver(&laterOwner);   // and one still waiting for this post
    });
    center.addObserver(ping, &laterOwner, [&](const Notification&) { calls << "later"; });
    center.addObserver(ping, &owner, [&](const Notification&) { calls << "last"; });

    center.post(ping);
    center.post(ping);
    EXPECT_EQ(calls, QStringList({"remover", "last", "last"}));
}

TEST(NotificationCenter, ConcurrentRegistrationAndPostingLoseNoObserver)
{
    NotificationCenter center;
    constexpr int threads = 8;
    constexpr int rounds = 500;
    std::atomic<int> delivered = 0;
    QObject stayingOwner;
    for (int i = 0; i < threads; ++i)
        center.addObserver(pong, &stayingOwner, [&](const Notification&) { ++delivered; });

    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int r = 0; r < rounds; ++r) {
                QObject owner;
                const auto token = center.addObserver(ping, &owner, [](const Notification&) {});
                center.post(ping);
                center.post(pong);
                if (r % 2)
                    center.removeObserver(token);
            }
        });
    }
    for (auto& w : workers)
        w.join();

    EXPECT_EQ(delivered.load(), threads * threads * rounds);
    EXPECT_EQ(center.observerCount(ping), 0) << "every temporary owner was destroyed";
    EXPECT_EQ(center.observerCount(pong), threads);
}

TEST(NotificationCenter, DefaultCenterIsOneInstance)
{
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    QObject owner;
    int calls = 0;
    NotificationCenter::defaultCenter().addObserver(ping, &owner, [&](const Notification&) { ++calls; });
    NotificationCenter::defaultCenter().post(ping);
    EXPECT_EQ(calls, 1);
}

}

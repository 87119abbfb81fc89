#include "DistributedNotificationCenter.h"
#include "SessionBusName.h"

#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QUuid>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <optional>
#include <thread>

namespace {

// Names of this run's own, so that other programs posting on the same bus cannot interfere.
QString uniqueName(const char* stem)
{
    return QString::fromLatin1(stem) + "." + QUuid::createUuid().toString(QUuid::Id128);
}

const QString kill = uniqueName("killVeltamorineLauncher");

// Two separate clients of the session bus, as two programs would be.
class DistributedNotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run inside scripts/with-test-session";
        const QString suffix = QUuid::createUuid().toString(QUuid::Id128);
        senderName = "vel-test-sender-" + suffix;
        receiverName = "vel-test-receiver-" + suffix;
        sender = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, senderName));
        receiver = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, receiverName));
    }

    void TearDown() override
    {
        sender.reset();
        receiver.reset();
        QDBusConnection::disconnectFromBus(senderName);
        QDBusConnection::disconnectFromBus(receiverName);
    }

    // A round trip through the bus: once this marker arrives, every earlier post has arrived too.
    void flush()
    {
        const QString marker = "Marker-" + QUuid::createUuid().toString(QUuid::Id128);
        QObject owner;
        bool seen = false;
        receiver->observe(marker, &owner, [&](const Notification&) { seen = true; });
        ASSERT_TRUE(sender->post(marker));
        ASSERT_TRUE(TestSupport::waitUntil([&] { return seen; }));
    }

    QString senderName;
    QString receiverName;
    std::unique_ptr<DistributedNotificationCenter> sender;
    std::unique_ptr<DistributedNotificationCenter> receiver;
};

TEST_F(DistributedNotificationCenterTest, DeliversNameAndObjectToAnotherClientOnTheMainThread)
{
    QObject owner;
    QStringList heard;
    QThread* deliveredOn = nullptr;
    receiver->observe(kill, &owner, [&](const Notification& n) {
        heard << n.name + ":" + n.object.toString();
        deliveredOn = QThread::currentThread();
    });

    std::thread poster([&] { EXPECT_TRUE(sender->post(kill, QStringLiteral("org.veltamorine.app"))); });
    poster.join();

    ASSERT_TRUE(TestSupport::waitUntil([&] { return !heard.isEmpty(); }));
    EXPECT_EQ(heard, QStringList({kill + ":org.veltamorine.app"}));
    EXPECT_EQ(deliveredOn, QThread::currentThread());
}

TEST_F(DistributedNotificationCenterTest, ObjectFilterLetsOnlyThatObjectThrough)
{
    QObject owner;
    QStringList filtered;
    QStringList unfiltered;
    receiver->observe(kill, QStringLiteral("org.veltamorine.app"), &owner,
                      [&](const Notification& n) { filtered << n.object.toString(); });
    receiver->observe(kill, &owner, [&](const Notification& n) { unfiltered << n.object.toString(); });

    sender->post(kill, QStringLiteral("org.other.app"));
    sender->post(kill, QStringLiteral("org.veltamorine.app"));
    sender->post(kill);
    flush();

    EXPECT_EQ(filtered, QStringList({"org.veltamorine.app"}));
    EXPECT_EQ(unfiltered, QStringList({"org.other.app", "org.veltamorine.app", ""}));
}

TEST_F(DistributedNotificationCenterTest, PosterHearsItsOwnNotification)
{
    QObject owner;
    int heard = 0;
    sender->observe(kill, &owner, [&](const Notification&) { ++heard; });
    sender->post(kill);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return heard == 1; }));
}

TEST_F(DistributedNotificationCenterTest, ObserverEndsWithItsOwnerAndOnRemoval)
{
    auto owner = std::make_unique<QObject>();
    QObject keptOwner;
    int ownedCalls = 0;
    int removedCalls = 0;
    receiver->observe(kill, owner.get(), [&](const Notification&) { ++ownedCalls; });
    const auto token = receiver->observe(kill, &keptOwner, [&](const Notification&) { ++removedCalls; });

    owner.reset();
    receiver->removeObserver(token);
    sender->post(kill);
    flush();

    EXPECT_EQ(ownedCalls, 0);
    EXPECT_EQ(removedCalls, 0);
}

TEST(DistributedNotificationCenterWithoutBus, PostFailsAndObservingIsHarmless)
{
    const QString name = QStringLiteral("vel-test-no-bus");
    {
        DistributedNotificationCenter center(
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/vel-bus"), name));
        EXPECT_FALSE(center.isConnected());
        QObject owner;
        center.observe(kill, &owner, [](const Notification&) { ADD_FAILURE() << "nothing can arrive"; });
        EXPECT_FALSE(center.post(kill, QStringLiteral("x")));
        TestSupport::processEvents(20);
    }
    QDBusConnection::disconnectFromBus(name);
}

struct NameCase {
    const char* bundleIdentifier;
    const char* busName;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << '"' << c.bundleIdentifier << '"';
}

class SessionBusNameMapping : public ::testing::TestWithParam<NameCase> {};

TEST_P(SessionBusNameMapping, GivesAValidWellKnownName)
{
    EXPECT_EQ(SessionBusName::fromBundleIdentifier(QString::fromUtf8(GetParam().bundleIdentifier)),
              QString::fromUtf8(GetParam().busName));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionBusNameMapping,
    ::testing::Values(NameCase{"org.veltamorine.Veltamorine", "org.veltamorine.Veltamorine"},
                      NameCase{"veltamorine.mac.apple.helpertool", "veltamorine.mac.apple.helpertool"},
                      NameCase{"com.example.Launcher-App", "com.example.Launcher-App"},
                      NameCase{"com.2fast.app", "com._2fast.app"},
                      NameCase{"com.ex ample.äpp", "com.ex_ample._pp"},
                      NameCase{"com..example.", "com.example"},
                      NameCase{"Veltamorine", "org.veltamorine.Veltamorine"},
                      NameCase{"", "org.veltamorine"}));

TEST(SessionBusName, RunningMeansTheNameHasAnOwner)
{
    const QString bundleId = "org.veltamorine.test.App" + QUuid::createUuid().toString(QUuid::Id128);
    const QString programName = QStringLiteral("vel-test-program");
    const QString otherName = QStringLiteral("vel-test-other");
    auto program = std::make_optional(QDBusConnection::connectToBus(QDBusConnection::SessionBus, programName));
    auto other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, otherName);
    ASSERT_TRUE(program->isConnected());

    EXPECT_FALSE(SessionBusName::hasOwner(bundleId, other));
    EXPECT_TRUE(SessionBusName::claim(bundleId, *program));
    EXPECT_TRUE(SessionBusName::claim(bundleId, *program)) << "claiming again is fine";
    EXPECT_TRUE(SessionBusName::hasOwner(bundleId, other));
    EXPECT_FALSE(SessionBusName::claim(bundleId, other)) << "a second instance cannot take it";

    SessionBusName::release(bundleId, *program);
    EXPECT_FALSE(SessionBusName::hasOwner(bundleId, other));

    EXPECT_TRUE(SessionBusName::claim(bundleId, *program));
    program.reset();   // the program exits: its connection closes
    QDBusConnection::disconnectFromBus(programName);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !SessionBusName::hasOwner(bundleId, other); }));
    QDBusConnection::disconnectFromBus(otherName);
}

}

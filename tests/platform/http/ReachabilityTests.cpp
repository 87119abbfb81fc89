#include "FakeReachability.h"
#include "SystemReachability.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using Status = Reachability::Status;

TEST(Reachability, ReportsTheCurrentStatusFirstThenEveryChange)
{
    FakeReachability reachability(Status::NotReachable);
    QList<Status> reports;
    ASSERT_TRUE(reachability.startListening([&](Status status) { reports.append(status); }));
    EXPECT_TRUE(reports.isEmpty());  // never from inside startListening
    TestSupport::processEvents(10);
    reachability.report(Status::ReachableEthernetOrWiFi);
    reachability.report(Status::ReachableEthernetOrWiFi);
    reachability.report(Status::Unknown);
    EXPECT_EQ(reports, (QList<Status>{Status::NotReachable, Status::ReachableEthernetOrWiFi,
                           Status::ReachableEthernetOrWiFi, Status::Unknown}));

    reachability.stopListening();
    reachability.report(Status::ReachableCellular);
    EXPECT_EQ(reports.size(), 4);
    EXPECT_TRUE(reachability.isReachable());
}

TEST(Reachability, AListenerGoneBeforeItsFirstReportIsNotCalled)
{
    int calls = 0;
    {
        FakeReachability reachability;
        reachability.startListening([&](Status) { ++calls; });
    }
    TestSupport::processEvents(10);
    EXPECT_EQ(calls, 0);
}

TEST(Reachability, SystemBackendLoadsOrReportsThatItCannot)
{
    auto reachability = SystemReachability::create();
    if (!reachability)
        GTEST_SKIP() << "no network information backend on this machine";
    std::optional<Status> first;
    ASSERT_TRUE(reachability->startListening([&](Status status) { first = status; }));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return first.has_value(); }, 2000));
    EXPECT_EQ(*first, reachability->status());
    reachability->stopListening();
}

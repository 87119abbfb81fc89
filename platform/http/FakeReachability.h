#pragma once

#include "Reachability.h"

#include <QObject>
#include <QPointer>

// Reachability that tests set by hand; reports like the real one (current status first,
// then each change, on the main thread).
class FakeReachability : public Reachability {
public:
    explicit FakeReachability(Status initial = Status::ReachableEthernetOrWiFi);
    ~FakeReachability() override;

    Status status() const override { return status_; }
    bool startListening(Listener listener) override;
    void stopListening() override;

    // Changes the status and reports it to the listener (also when unchanged, as a platform
    // may report the same status twice).
    void report(Status status);

private:
    Status status_;
    Listener listener_;
    QObject context_;  // queued first reports die with this object
};

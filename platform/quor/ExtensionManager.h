#pragma once

#include "Error.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <memory>
#include <optional>

class Scheduler;
class SerialQueue;
class ExtensionManagerDelegate;

// Activates the system extensions that carry the tunnels. Here an activation is simulated:
// each bundle identifier has an outcome (completed unless told otherwise), reported to the
// delegate on the SDK's extension thread a moment after the request.
class ExtensionManager {
public:
    enum class ExtensionManagerResult { Completed = 0, WillCompleteAfterReboot = 1 };
    enum class Outcome { Completed, WillCompleteAfterReboot, NeedsUserApproval, Failed };

    // `scheduler` nullptr: Scheduler::main() at the time of each request.
    explicit ExtensionManager(Scheduler* scheduler = nullptr, double activationSeconds = 0.5);
    ~ExtensionManager();
    ExtensionManager(const ExtensionManager&) = delete;
    ExtensionManager& operator=(const ExtensionManager&) = delete;

    static ExtensionManager& shared();

    // Held weakly.
    void setDelegate(const std::shared_ptr<ExtensionManagerDelegate>& delegate);
    std::shared_ptr<ExtensionManagerDelegate> delegate() const;

    // Submits an activation request; the outcome reaches the delegate later. A request
    // without a name fails. Main thread.
    void activate(const std::optional<QString>& systemExtensionName);
    // After an approval was asked for: the user approved, the request completes.
    void approve(const QString& bundleIdentifier);

    void setOutcome(const QString& bundleIdentifier, Outcome outcome, int errorCode = 0);
    int activationCount(const QString& bundleIdentifier) const;

private:
    void report(const QString& bundleIdentifier, Outcome outcome, int errorCode);

    Scheduler* scheduler_;
    double activationSeconds_;
    mutable QMutex mutex_;
    std::weak_ptr<ExtensionManagerDelegate> delegate_;
    QHash<QString, std::pair<Outcome, int>> outcomes_;
    QHash<QString, int> activations_;
    std::unique_ptr<SerialQueue> queue_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Told how activation requests ended; called on the SDK's extension thread.
class ExtensionManagerDelegate {
public:
    virtual ~ExtensionManagerDelegate() = default;
    virtual void requestNeedsUserApproval(const QString& bundleIdentifier) = 0;
    virtual void requestFailed(const QString& bundleIdentifier, const Error& error) = 0;
    virtual void requestCompleted(const QString& bundleIdentifier, ExtensionManager::ExtensionManagerResult result) = 0;
};

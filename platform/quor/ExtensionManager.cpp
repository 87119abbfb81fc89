#include "ExtensionManager.h"

#include "MainQueue.h"
#include "QuorError.h"
#include "Scheduler.h"
#include "SerialQueue.h"

ExtensionManager::ExtensionManager(Scheduler* scheduler, double activationSeconds)
    : scheduler_(scheduler), activationSeconds_(activationSeconds),
      queue_(std::make_unique<SerialQueue>(QStringLiteral("QuorSDK.extensions")))
{
}

ExtensionManager::~ExtensionManager()
{
    *alive_ = false;
    queue_.reset();
}

ExtensionManager& ExtensionManager::shared()
{
    static ExtensionManager* manager = new ExtensionManager();
    return *manager;
}

void ExtensionManager::setDelegate(const std::shared_ptr<ExtensionManagerDelegate>& delegate)
{
    QMutexLocker lock(&mutex_);
    delegate_ = delegate;
}

std::shared_ptr<ExtensionManagerDelegate> ExtensionManager::delegate() const
{
    QMutexLocker lock(&mutex_);
    return delegate_.lock();
}

void ExtensionManager::setOutcome(const QString& bundleIdentifier, Outcome outcome, int errorCode)
{
    QMutexLocker lock(&mutex_);
    outcomes_.insert(bundleIdentifier, {outcome, errorCode});
}

int ExtensionManager::activationCount(const QString& bundleIdentifier) const
{
    QMutexLocker lock(&mutex_);
    return activations_.value(bundleIdentifier);
}

void ExtensionManager::activate(const std::optional<QString>& systemExtensionName)
{
    const QString id = systemExtensionName.value_or(QString());
    Outcome outcome = Outcome::Completed;
    int code = 0;
    {
        QMutexLocker lock(&mutex_);
        activations_[id] += 1;
        if (id.isEmpty()) {
            outcome = Outcome::Failed;
            code = QuorError::ExtensionNotFound;
        } else if (outcomes_.contains(id)) {
            std::tie(outcome, code) = outcomes_.value(id);
        }
    }
    // Timers live on the main thread; a request from elsewhere is scheduled from there.
    MainQueue::asyncIfNeeded([this, alive = std::weak_ptr<bool>(alive_), id, outcome, code] {
        if (auto a = alive.lock(); !a || !*a)
            return;
        Scheduler& scheduler = scheduler_ ? *scheduler_ : Scheduler::main();
        scheduler.schedule(activationSeconds_, [this, alive, id, outcome, code] {
            if (auto a = alive.lock(); a && *a)
                report(id, outcome, code);
        });
    });
}

void ExtensionManager::approve(const QString& bundleIdentifier)
{
    report(bundleIdentifier, Outcome::Completed, 0);
}

void ExtensionManager::report(const QString& id, Outcome outcome, int errorCode)
{
    queue_->async([this, id, outcome, errorCode] {
        std::shared_ptr<ExtensionManagerDelegate> d = delegate();
        if (!d)
            return;
        switch (outcome) {
        case Outcome::Completed:
            d->requestCompleted(id, ExtensionManagerResult::Completed);
            break;
        case Outcome::WillCompleteAfterReboot:
            d->requestCompleted(id, ExtensionManagerResult::WillCompleteAfterReboot);
            break;
        case Outcome::NeedsUserApproval:
            d->requestNeedsUserApproval(id);
            break;
        case Outcome::Failed:
            d->requestFailed(id, QuorError::make(errorCode ? errorCode : int(QuorError::ExtensionActivationFailed)));
            break;
        }
    });
}

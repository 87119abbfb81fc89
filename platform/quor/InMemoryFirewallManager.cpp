#include "InMemoryFirewallManager.h"

#include "QuorProtocol.h"
#include "SerialQueue.h"

#include <QHostAddress>

InMemoryFirewallManager::InMemoryFirewallManager()
    : queue_(std::make_unique<SerialQueue>(QStringLiteral("QuorSDK.firewall")))
{
}

InMemoryFirewallManager::~InMemoryFirewallManager() = default;

void InMemoryFirewallManager::answer(Completion completion, bool value)
{
    if (completion)
        queue_->async([completion = std::move(completion), value] { completion(value); });
}

void InMemoryFirewallManager::record(const QString& call)
{
    QMutexLocker lock(&mutex_);
    calls_.append(call);
}

void InMemoryFirewallManager::enableFirewall(const QString& ipAddress, const QString& protocol, Completion completion)
{
    record(QStringLiteral("enableFirewall"));
    QHostAddress address;
    const bool valid = address.setAddress(ipAddress) && QuorProtocol::isKnownWord(protocol);
    bool ok = false;
    {
        QMutexLocker lock(&mutex_);
        if (valid && helperInstalled_) {
            enabled_ = true;
            address_ = address.toString();
            protocol_ = protocol;
            ok = true;
        }
    }
    answer(std::move(completion), ok);
}

void InMemoryFirewallManager::disableFirewall(Completion completion)
{
    record(QStringLiteral("disableFirewall"));
    {
        QMutexLocker lock(&mutex_);
        enabled_ = false;
        address_.clear();
        protocol_.clear();
    }
    answer(std::move(completion), true);
}

void InMemoryFirewallManager::isVPNFirewallEnabled(const QString& ipAddress, Completion completion)
{
    record(QStringLiteral("isVPNFirewallEnabled"));
    QMutexLocker lock(&mutex_);
    const bool on = enabled_ && !ipAddress.isEmpty() && address_ == ipAddress;
    lock.unlock();
    answer(std::move(completion), on);
}

void InMemoryFirewallManager::isAnyFirewallEnabled(Completion completion)
{
    record(QStringLiteral("isAnyFirewallEnabled"));
    answer(std::move(completion), enabled());
}

void InMemoryFirewallManager::isHelperReady(Completion completion)
{
    record(QStringLiteral("isHelperReady"));
    QMutexLocker lock(&mutex_);
    const bool ready = helperInstalled_ && helperReady_;
    lock.unlock();
    answer(std::move(completion), ready);
}

void InMemoryFirewallManager::prepareKillSwitch(Completion completion)
{
    record(QStringLiteral("prepareKillSwitch"));
    QMutexLocker lock(&mutex_);
    const bool ready = helperInstalled_ && helperReady_;
    lock.unlock();
    answer(std::move(completion), ready);
}

std::expected<bool, Error> InMemoryFirewallManager::isHelperInstalled()
{
    record(QStringLiteral("isHelperInstalled"));
    QMutexLocker lock(&mutex_);
    return helperInstalled_;
}

void InMemoryFirewallManager::setHelperInstalled(bool installed)
{
    QMutexLocker lock(&mutex_);
    helperInstalled_ = installed;
}

void InMemoryFirewallManager::setHelperReady(bool ready)
{
    QMutexLocker lock(&mutex_);
    helperReady_ = ready;
}

void InMemoryFirewallManager::setAnyFirewallEnabled(bool enabled)
{
    QMutexLocker lock(&mutex_);
    enabled_ = enabled;
}

bool InMemoryFirewallManager::enabled() const
{
    QMutexLocker lock(&mutex_);
    return enabled_;
}

QString InMemoryFirewallManager::allowedAddress() const
{
    QMutexLocker lock(&mutex_);
    return address_;
}

QStringList InMemoryFirewallManager::calls() const
{
    QMutexLocker lock(&mutex_);
    return calls_;
}

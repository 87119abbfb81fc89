#pragma once

#include "FirewallManager.h"

#include <QMutex>
#include <QStringList>
#include <memory>

class SerialQueue;

// A firewall manager that keeps the kill-switch state in memory and answers on a worker
// thread, as the helper daemon's client would. It checks arguments the way the real one must:
// an address that is not an IP address or an unknown protocol is refused.
class InMemoryFirewallManager final : public FirewallManager {
public:
    InMemoryFirewallManager();
    ~InMemoryFirewallManager() override;

    void enableFirewall(const QString& ipAddress, const QString& protocol, Completion completion) override;
    void disableFirewall(Completion completion) override;
    void isVPNFirewallEnabled(const QString& ipAddress, Completion completion) override;
    void isAnyFirewallEnabled(Completion completion) override;
    void isHelperReady(Completion completion) override;
    void prepareKillSwitch(Completion completion) override;
    std::expected<bool, Error> isHelperInstalled() override;

    // Scripting and inspection.
    void setHelperInstalled(bool installed);
    void setHelperReady(bool ready);
    void setAnyFirewallEnabled(bool enabled);
    bool enabled() const;
    QString allowedAddress() const;
    QStringList calls() const;

private:
    void answer(Completion completion, bool value);
    void record(const QString& call);

    mutable QMutex mutex_;
    bool enabled_ = false;
    QString address_;
    QString protocol_;
    bool helperInstalled_ = true;
    bool helperReady_ = true;
    QStringList calls_;
    std::unique_ptr<SerialQueue> queue_;
};

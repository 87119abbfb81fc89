#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// One VPN account of the signed-in client, as the account list under "<client id>.vpnAccounts"
// keeps it. `isSelected` is screen state and is not coded.
struct VPNAccount {
    QString username;
    QString status;
    QString billingCycle;
    QString paymentGateway;
    QString expiryDate;
    QString expiryReason;
    bool isSelected = false;

    bool operator==(const VPNAccount&) const = default;

    // Keys "vpnusername", "status", "billingCycle", "paymentGateway", "expiry", "expiryReason",
    // all required strings.
    static std::optional<VPNAccount> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
};

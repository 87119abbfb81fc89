#include "VPNAccount.h"

#include "JsonFields.h"

std::optional<VPNAccount> VPNAccount::fromJson(const QJsonObject& object)
{
    VPNAccount account;
    if (!JsonFields::requiredString(object, QLatin1StringView("vpnusername"), account.username)
        || !JsonFields::requiredString(object, QLatin1StringView("status"), account.status)
        || !JsonFields::requiredString(object, QLatin1StringView("billingCycle"), account.billingCycle)
        || !JsonFields::requiredString(object, QLatin1StringView("paymentGateway"), account.paymentGateway)
        || !JsonFields::requiredString(object, QLatin1StringView("expiry"), account.expiryDate)
        || !JsonFields::requiredString(object, QLatin1StringView("expiryReason"), account.expiryReason))
        return std::nullopt;
    return account;
}

QJsonObject VPNAccount::toJson() const
{
    return QJsonObject{
        {QLatin1StringView("vpnusername"), username},
        {QLatin1StringView("status"), status},
        {QLatin1StringView("billingCycle"), billingCycle},
        {QLatin1StringView("paymentGateway"), paymentGateway},
        {QLatin1StringView("expiry"), expiryDate},
        {QLatin1StringView("expiryReason"), expiryReason},
    };
}

#include "PaymentGateway.h"

#include "JsonFields.h"

using namespace JsonFields;

std::optional<PaymentGateway> PaymentGateway::fromJson(const QJsonObject& object)
{
    PaymentGateway gateway;
    if (!requiredString(object, QLatin1StringView("name"), gateway.name)
        || !requiredInteger(object, QLatin1StringView("recurring_gateway"), gateway.recurringGateway)
        || !requiredInteger(object, QLatin1StringView("auto_recurring"), gateway.autoRecurring)
        || !optionalString(object, QLatin1StringView("subscription_id"), gateway.subscriptionId)
        || !requiredString(object, QLatin1StringView("sku"), gateway.sku))
        return std::nullopt;
    return gateway;
}

QJsonObject PaymentGateway::toJson() const
{
    QJsonObject object{
        {QStringLiteral("name"), name},
        {QStringLiteral("recurring_gateway"), recurringGateway},
        {QStringLiteral("auto_recurring"), autoRecurring},
        {QStringLiteral("sku"), sku},
    };
    if (subscriptionId)
        object.insert(QStringLiteral("subscription_id"), *subscriptionId);
    return object;
}

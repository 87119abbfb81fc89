#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// The billing details of the account as the backend reports them.
struct PaymentGateway {
    QString name;
    qint64 recurringGateway = 0;
    qint64 autoRecurring = 0;
    std::optional<QString> subscriptionId;
    QString sku;

    static std::optional<PaymentGateway> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const PaymentGateway&) const = default;
};

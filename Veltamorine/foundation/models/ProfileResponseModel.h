#pragma once

#include "ActiveAddon.h"
#include "DedicatedIPDetail.h"
#include "PaymentGateway.h"

#include <QList>

// The account profile as the identity backend returns it (inside {"body": ...}).
// Dates stay the strings the backend sent; formatDate turns them into display text.
struct ProfileResponseModel {
    QString clientName;
    QString email;
    QString phoneNumber;
    QString signupDate;
    QString billingCycle;
    QString expiryDate;
    QString status;
    QString vpnUsername;
    std::optional<qint64> trial;
    std::optional<qint64> gracePeriod;
    std::optional<qint64> graceDaysRemaining;
    std::optional<qint64> desiredOutcomeAchieved;
    std::optional<qint64> renewalInvoiceGenerated;
    std::optional<qint64> hostingID;
    std::optional<qint64> client_id;
    std::optional<bool> passwordManager;
    QString clientType;
    PaymentGateway paymentGateway;
    std::optional<QList<ActiveAddon>> activeAddons;
    std::optional<QList<ActiveAddon>> addons;
    std::optional<QString> billingPlan;
    std::optional<QString> referralLink;
    std::optional<QString> gracePeriodExpiry;
    DedicatedIPDetail dedicatedIPDetail;

    static std::optional<ProfileResponseModel> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    // "2024-01-31" -> "31 Jan 2024" in the current locale; text that is not such a date comes back unchanged.
    static QString formatDate(const QString& date);

    bool operator==(const ProfileResponseModel&) const = default;
};

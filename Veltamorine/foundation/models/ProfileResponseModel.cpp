#include "ProfileResponseModel.h"

#include "JsonFields.h"

#include <QDate>
#include <QLocale>

using namespace JsonFields;

namespace {

template <typename T>
void insertIfPresent(QJsonObject& object, const QString& key, const std::optional<T>& value)
{
    if (value)
        object.insert(key, *value);
}

}

std::optional<ProfileResponseModel> ProfileResponseModel::fromJson(const QJsonObject& object)
{
    ProfileResponseModel m;
    QJsonObject gateway, dedicated;
    const bool fieldsRead = requiredString(object, QLatin1StringView("client_name"), m.clientName)
        && requiredString(object, QLatin1StringView("email"), m.email)
        && requiredString(object, QLatin1StringView("phone_number"), m.phoneNumber)
        && requiredString(object, QLatin1StringView("signup_date"), m.signupDate)
        && requiredString(object, QLatin1StringView("billing_cycle"), m.billingCycle)
        && requiredString(object, QLatin1StringView("expiry_date"), m.expiryDate)
        && requiredString(object, QLatin1StringView("status"), m.status)
        && requiredString(object, QLatin1StringView("vpn_username"), m.vpnUsername)
        && optionalInteger(object, QLatin1StringView("is_trial"), m.trial)
        && optionalInteger(object, QLatin1StringView("grace_period"), m.gracePeriod)
        && optionalInteger(object, QLatin1StringView("days_remaining"), m.graceDaysRemaining)
        && optionalInteger(object, QLatin1StringView("desired_outcome"), m.desiredOutcomeAchieved)
        && optionalInteger(object, QLatin1StringView("renewal_invoice_generated"), m.renewalInvoiceGenerated)
        && optionalInteger(object, QLatin1StringView("hosting_id"), m.hostingID)
        && optionalInteger(object, QLatin1StringView("client_id"), m.client_id)
        && optionalBool(object, QLatin1StringView("password_manager"), m.passwordManager)
        && requiredString(object, QLatin1StringView("client_type"), m.clientType)
        && requiredObject(object, QLatin1StringView("payment_gateway"), gateway)
        && optionalList<ActiveAddon>(object, QLatin1StringView("active_addons"), m.activeAddons)
        && optionalList<ActiveAddon>(object, QLatin1StringView("addons"), m.addons)
        && optionalString(object, QLatin1StringView("billing_plan"), m.billingPlan)
        && optionalString(object, QLatin1StringView("referral_link"), m.referralLink)
        && optionalString(object, QLatin1StringView("grace_period_expiry"), m.gracePeriodExpiry)
        && requiredObject(object, QLatin1StringView("dedicated_ip_detail"), dedicated);
    if (!fieldsRead)
        return std::nullopt;
    std::optional<PaymentGateway> paymentGateway = PaymentGateway::fromJson(gateway);
    std::optional<DedicatedIPDetail> detail = DedicatedIPDetail::fromJson(dedicated);
    if (!paymentGateway || !detail)
        return std::nullopt;
    m.paymentGateway = std::move(*paymentGateway);
    m.dedicatedIPDetail = std::move(*detail);
    return m;
}

QJsonObject ProfileResponseModel::toJson() const
{
    QJsonObject object{
        {QStringLiteral("client_name"), clientName},
        {QStringLiteral("email"), email},
        {QStringLiteral("phone_number"), phoneNumber},
        {QStringLiteral("signup_date"), signupDate},
        {QStringLiteral("billing_cycle"), billingCycle},
        {QStringLiteral("expiry_date"), expiryDate},
        {QStringLiteral("status"), status},
        {QStringLiteral("vpn_username"), vpnUsername},
        {QStringLiteral("client_type"), clientType},
        {QStringLiteral("payment_gateway"), paymentGateway.toJson()},
        {QStringLiteral("dedicated_ip_detail"), dedicatedIPDetail.toJson()},
    };
    insertIfPresent(object, QStringLiteral("is_trial"), trial);
    insertIfPresent(object, QStringLiteral("grace_period"), gracePeriod);
    insertIfPresent(object, QStringLiteral("days_remaining"), graceDaysRemaining);
    insertIfPresent(object, QStringLiteral("desired_outcome"), desiredOutcomeAchieved);
    insertIfPresent(object, QStringLiteral("renewal_invoice_generated"), renewalInvoiceGenerated);
    insertIfPresent(object, QStringLiteral("hosting_id"), hostingID);
    insertIfPresent(object, QStringLiteral("client_id"), client_id);
    insertIfPresent(object, QStringLiteral("password_manager"), passwordManager);
    if (activeAddons)
        object.insert(QStringLiteral("active_addons"), encodeList(*activeAddons));
    if (addons)
        object.insert(QStringLiteral("addons"), encodeList(*addons));
    insertIfPresent(object, QStringLiteral("billing_plan"), billingPlan);
    insertIfPresent(object, QStringLiteral("referral_link"), referralLink);
    insertIfPresent(object, QStringLiteral("grace_period_expiry"), gracePeriodExpiry);
    return object;
}

QString ProfileResponseModel::formatDate(const QString& date)
{
    const QLocale locale;
    const QDate parsed = locale.toDate(date, QStringLiteral("yyyy-MM-dd"));
    if (!parsed.isValid())
        return date;
    return locale.toString(parsed, QStringLiteral("dd MMM yyyy"));
}

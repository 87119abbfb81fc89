#include "SwitchAccountModel.h"

#include "JsonFields.h"

std::optional<SwitchAccountModel::VPNAccount> SwitchAccountModel::VPNAccount::fromJson(const QJsonObject& object)
{
    VPNAccount account;
    const std::pair<const char*, QString*> fields[] = {
        {"username", &account.username},     {"status", &account.status},
        {"billingCycle", &account.billingCycle}, {"paymentGateway", &account.paymentGateway},
        {"expiryDate", &account.expiryDate}, {"expiryReason", &account.expiryReason},
        {"hostingId", &account.hostingId},
    };
    for (const auto& [key, out] : fields) {
        if (!JsonFields::requiredString(object, QLatin1StringView(key), *out))
            return std::nullopt;
    }
    return account;
}

QJsonObject SwitchAccountModel::VPNAccount::toJson() const
{
    return QJsonObject{
        {QStringLiteral("username"), username},
        {QStringLiteral("status"), status},
        {QStringLiteral("billingCycle"), billingCycle},
        {QStringLiteral("paymentGateway"), paymentGateway},
        {QStringLiteral("expiryDate"), expiryDate},
        {QStringLiteral("expiryReason"), expiryReason},
        {QStringLiteral("hostingId"), hostingId},
    };
}

SwitchAccountModel::SwitchAccountModel(std::shared_ptr<NetworkingProtocol> networkingManager, PreservedPreferences preference,
                                       User userPreference, std::shared_ptr<UserAuthentication> userAuthentication,
                                       QObject* parent)
    : QObject(parent)
    , networkingManager(std::move(networkingManager))
    , preference(std::move(preference))
    , userPreference(std::move(userPreference))
    , userAuthentication(std::move(userAuthentication))
{
    reloadRows();
}

QList<::VPNAccount> SwitchAccountModel::userAccounts() const
{
    return preference.vpnAccounts();
}

void SwitchAccountModel::setUserAccounts(const QList<::VPNAccount>& accounts)
{
    PreservedPreferences(preference).setVpnAccounts(accounts);
}

void SwitchAccountModel::reloadRows()
{
    rows_ = userAccounts();
}

void SwitchAccountModel::resetSelection()
{
    setSwitchButtonDisable(true);
}

void SwitchAccountModel::selectionDidChange(int row)
{
    // The row comes from the table that shows rows_; anything outside it selects nothing.
    if (row < 0 || row >= rows_.size())
        return;
    selectedAccount = rows_.at(row);
    selectedAccount.isSelected = false;
    const std::optional<QString> current = userPreference.vpnUsername();
    setSwitchButtonDisable(current && *current == selectedAccount.username);
    for (qsizetype i = 0; i < rows_.size(); ++i)
        rows_[i].isSelected = i == row;
}

void SwitchAccountModel::setSwitchButtonDisable(bool disabled)
{
    if (switchButtonDisable_ == disabled)
        return;
    switchButtonDisable_ = disabled;
    emit switchButtonDisableChanged(disabled);
}

#pragma once

#include "NetworkingProtocol.h"
#include "PreservedPreferences.h"
#include "User.h"
#include "UserAuthentication.h"
#include "VPNAccount.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <memory>
#include <optional>

// The model of the account-selection sheet: the VPN accounts of the signed-in client, the one
// the user picked, and whether the switch button may be pressed. The sheet only reports the
// choice (AccountSelectionDelegate); switching happens in the delegate.
class SwitchAccountModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool switchButtonDisable READ switchButtonDisable NOTIFY switchButtonDisableChanged)

public:
    // An account record of a list that carries the hosting id; every key required.
    struct VPNAccount {
        QString username;        // "username"
        QString status;          // "status"
        QString billingCycle;    // "billingCycle"
        QString paymentGateway;  // "paymentGateway"
        QString expiryDate;      // "expiryDate"
        QString expiryReason;    // "expiryReason"
        QString hostingId;       // "hostingId"
        bool isSelected = false; // not coded

        bool operator==(const VPNAccount&) const = default;
        static std::optional<VPNAccount> fromJson(const QJsonObject& object);
        QJsonObject toJson() const;
    };

    // Asks the main window to open the sheet (no object).
    static inline const QString showVPNAccountsNotification = QStringLiteral("ShowVPNAccountsNotification");

    SwitchAccountModel(std::shared_ptr<NetworkingProtocol> networkingManager, PreservedPreferences preference,
                       User userPreference, std::shared_ptr<UserAuthentication> userAuthentication,
                       QObject* parent = nullptr);

    const std::shared_ptr<NetworkingProtocol> networkingManager;
    const PreservedPreferences preference;
    const User userPreference;
    const std::shared_ptr<UserAuthentication> userAuthentication;
    ::VPNAccount selectedAccount;

    // The stored list, read afresh each time; writing stores it.
    QList<::VPNAccount> userAccounts() const;
    void setUserAccounts(const QList<::VPNAccount>& accounts);

    // The rows the sheet shows: the stored list as read by reloadRows(), with the selection.
    const QList<::VPNAccount>& rows() const { return rows_; }
    void reloadRows();

    // The table's selection moved to `row` (negative: nothing selected, nothing changes). The
    // current account can never be chosen: the switch button stays disabled for it.
    void selectionDidChange(int row);

    bool switchButtonDisable() const { return switchButtonDisable_; }
    // The sheet appears: the button is disabled until another account is selected.
    void resetSelection();

signals:
    void switchButtonDisableChanged(bool disabled);

private:
    void setSwitchButtonDisable(bool disabled);

    QList<::VPNAccount> rows_;
    bool switchButtonDisable_ = true;
};

#include "AccountLifecycleFixture.h"

#include "AccountNotifications.h"
#include "AccountRowContent.h"
#include "InvalidCredentialsHandler.h"
#include "LoginModel.h"
#include "SwitchAccountModel.h"

class SwitchAccountTest : public LifecycleTest {
protected:
    SwitchAccountTest()
    {
        Stored stored;
        stored.accounts = {QStringLiteral("vpn-ada"), QStringLiteral("vpn-bob")};
        signInStored(stored);
        model.reloadRows();
    }
    SwitchAccountModel model{networking, PreservedPreferences(), User(), authentication};
};

TEST_F(SwitchAccountTest, TheCurrentAccountIsNotSelectable)
{
    ASSERT_EQ(model.rows().size(), 2);
    EXPECT_TRUE(model.switchButtonDisable());
    QList<bool> changes;
    QObject::connect(&model, &SwitchAccountModel::switchButtonDisableChanged, [&](bool d) { changes.append(d); });

    model.selectionDidChange(1);
    EXPECT_FALSE(model.switchButtonDisable());
    EXPECT_EQ(model.selectedAccount.username, QStringLiteral("vpn-bob"));
    EXPECT_FALSE(model.rows()[0].isSelected);
    EXPECT_TRUE(model.rows()[1].isSelected);

    model.selectionDidChange(0);
    EXPECT_TRUE(model.switchButtonDisable());
    EXPECT_TRUE(model.rows()[0].isSelected);
    EXPECT_FALSE(model.rows()[1].isSelected);

    // Nothing selected, or a row that is not there: nothing changes.
    model.selectionDidChange(-1);
    model.selectionDidChange(2);
    EXPECT_EQ(model.selectedAccount.username, QStringLiteral("vpn-ada"));
    EXPECT_EQ(changes, (QList<bool>{false, true}));

    // Without a stored user name every account may be chosen.
    User().setVpnUsername(std::nullopt);
    model.selectionDidChange(0);
    EXPECT_FALSE(model.switchButtonDisable());
    model.resetSelection();
    EXPECT_TRUE(model.switchButtonDisable());
}

TEST_F(SwitchAccountTest, TheListIsTheStoredOne)
{
    model.setUserAccounts({account(QStringLiteral("vpn-cy"))});
    EXPECT_EQ(PreservedPreferences().vpnAccounts(), (QList<VPNAccount>{account(QStringLiteral("vpn-cy"))}));
    EXPECT_EQ(model.userAccounts(), PreservedPreferences().vpnAccounts());
    EXPECT_EQ(model.rows().size(), 2);
    model.reloadRows();
    EXPECT_EQ(model.rows().size(), 1);
}

TEST_F(SwitchAccountTest, SwitchingFetchesTheOtherPasswordAndMakesItCurrent)
{
    PostedNotifications posted({AccountNotifications::vpnAccountDidChange, AccountNotifications::showDashboard});
    model.selectionDidChange(1);
    ASSERT_FALSE(model.switchButtonDisable());
    LoginModel login(networking, User(), ErrorSender(hub), EventTracker(journalTracking, AppPreferences(), PreservedPreferences()),
                     PreservedPreferences(), authentication, &quorManager, &alerts);
    login.continueWithAccount(model.selectedAccount);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return posted.names.contains(AccountNotifications::showDashboard); }, 8000));

    const SandboxRequest sent = sandbox.requests("GET", QStringLiteral("/Veltamorine/vpn/account/password")).value(0);
    EXPECT_EQ(sent.queryItem(QStringLiteral("username")), QStringLiteral("vpn-bob"));
    EXPECT_EQ(User().vpnUsername(), QStringLiteral("vpn-bob"));
    EXPECT_EQ(User().vpnPassword(), QStringLiteral("bob-vpn-pass"));
    ASSERT_TRUE(quorManager.credential());
    EXPECT_EQ(quorManager.credential()->username, QStringLiteral("vpn-bob"));
    EXPECT_EQ(posted.names.first(), AccountNotifications::vpnAccountDidChange);
    EXPECT_TRUE(User().loggedIn());

    // The sheet opened again marks the new current account.
    SwitchAccountModel reopened(networking, PreservedPreferences(), User(), authentication);
    reopened.selectionDidChange(1);
    EXPECT_TRUE(reopened.switchButtonDisable());
}

TEST(AccountRowContentTest, StatusTexts)
{
    struct Row { const char* status; const char* text; std::optional<QColor> color; std::optional<QString> image; };
    const Row rows[] = {
        {"active", "", std::nullopt, std::nullopt},
        {"paid", "", std::nullopt, std::nullopt},
        {"expired", "Account Expired", AccountRowContent::expiredStatusColor(), QStringLiteral("ExpireDot")},
        {"disabled", "Account Disabled", AccountRowContent::disabledStatusColor(), QStringLiteral("DisableDot")},
        {"in-active", "Account In-Active", std::nullopt, std::nullopt},
        {"inactive", "Account Inactive", std::nullopt, std::nullopt},
        {"unpaid", "Account Unpaid", std::nullopt, std::nullopt},
        {"ACTIVE", "Account Active", std::nullopt, std::nullopt},
        {"on hold", "Account On Hold", std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        const AccountRowContent content = AccountRowContent::statusText(QString::fromLatin1(row.status));
        EXPECT_EQ(content.userStatus, QString::fromLatin1(row.text)) << row.status;
        EXPECT_EQ(content.userStatusColor, row.color) << row.status;
        EXPECT_EQ(content.imageName, row.image) << row.status;
        EXPECT_EQ(content.userNameColor, AccountRowContent::defaultUserNameColor()) << row.status;
    }
}

TEST_F(SwitchAccountTest, TheCurrentAccountCarriesTheMarkAndTheSelectionIsWhite)
{
    VPNAccount current = account(QStringLiteral("vpn-ada"), QStringLiteral("expired"));
    AccountRowContent content = AccountRowContent::configure(current, User());
    EXPECT_EQ(content.userName, QStringLiteral("vpn-ada"));
    EXPECT_EQ(content.userStatus, QStringLiteral("Account Expired"));
    EXPECT_EQ(content.imageName, QStringLiteral("BlackMark"));
    EXPECT_FALSE(content.selected);

    VPNAccount other = account(QStringLiteral("vpn-bob"), QStringLiteral("disabled"));
    other.isSelected = true;
    content = AccountRowContent::configure(other, User());
    EXPECT_EQ(content.imageName, QStringLiteral("DisableDot"));
    EXPECT_EQ(content.userStatusColor, AccountRowContent::selectedTextColor());
    EXPECT_EQ(content.userNameColor, AccountRowContent::selectedTextColor());
    EXPECT_TRUE(content.selected);
}

TEST(SwitchAccountVPNAccountTest, EveryKeyIsRequired)
{
    const QJsonObject full{
        {"username", "vpn-ada"}, {"status", "active"}, {"billingCycle", "Monthly"}, {"paymentGateway", "card"},
        {"expiryDate", "2027-01-01"}, {"expiryReason", ""}, {"hostingId", "h-1"},
    };
    const auto decoded = SwitchAccountModel::VPNAccount::fromJson(full);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->hostingId, QStringLiteral("h-1"));
    EXPECT_FALSE(decoded->isSelected);
    EXPECT_EQ(decoded->toJson(), full);
    for (const QString& key : full.keys()) {
        QJsonObject missing = full;
        missing.remove(key);
        EXPECT_FALSE(SwitchAccountModel::VPNAccount::fromJson(missing)) << key.toStdString();
        QJsonObject mistyped = full;
        mistyped.insert(key, 1);
        EXPECT_FALSE(SwitchAccountModel::VPNAccount::fromJson(mistyped)) << key.toStdString();
    }
}

TEST(InvalidCredentialsHandlerTest, CountsUpToTheLimit)
{
    InvalidCredentialsHandler handler;
    EXPECT_EQ(handler.failureCount, 0);
    EXPECT_EQ(handler.maxFailureCount, 3);
    for (int i = 0; i < 5; ++i)
        handler.recordFailure();
    EXPECT_EQ(handler.failureCount, 3);
    EXPECT_TRUE(handler.limitReached());
}

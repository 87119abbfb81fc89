#pragma once

#include "AccountAlerts.h"
#include "AccountLifecycleRoutes.h"
#include "AccountTestFixture.h"
#include "LaunchChecks.h"
#include "OAuthService.h"

#include <QStringList>
#include <functional>

// Shows nothing: records every alert and keeps its answer for the test to give.
class RecordingAlerts final : public AccountAlerts {
public:
    struct Shown {
        QString kind;  // "logoutWhileConnected", "migrateConsent", "vpnPasswordFailed"
        std::function<void(int)> answerResponse;
        std::function<void(bool)> answerLoggedOut;
        std::function<void()> retry;
        std::optional<Error> error;
    };
    QList<Shown> shown;
    QStringList kinds() const;

    void showLogoutWhileConnected(std::function<void(int)> answer) override;
    void showMigrateConsentFailed(std::function<void(bool)> answer) override;
    void showVpnPasswordFailed(const Error& error, std::function<void()> retry) override;
};

// An analytics sink that writes into a shared journal, so a test can see the order of steps.
class JournalTracking final : public EventTracking {
public:
    explicit JournalTracking(QStringList& journal) : journal(journal) {}
    QStringList& journal;
    QList<std::pair<QString, AnalyticsProperties>> tracked;

    bool useIPAddressForGeoLocation() const override { return false; }
    void setUseIPAddressForGeoLocation(bool) override {}
    void time(const QString&) override {}
    void track(const QString& event, const AnalyticsProperties& properties) override { tracked.append({event, properties}); }
    void identify(const QString&, bool, std::function<void()> completion) override
    {
        if (completion)
            completion();
    }
    void registerSuperProperties(const AnalyticsProperties&) override {}
    void clearSuperProperties() override { journal.append(QStringLiteral("analytics.clearSuperProperties")); }
    void reset(std::function<void()> completion) override
    {
        journal.append(QStringLiteral("analytics.reset"));
        if (completion)
            completion();
    }
    QStringList events() const;
};

// The sign-in fixture with the launch and migration routes, a multi-account password route,
// an OAuth service of the test's own (its page answered by a scripted presenter), recording
// alerts, and a signed-in user prepared by signInStored().
class LifecycleTest : public AccountTest {
public:
    struct Stored {
        bool loggedIn = true;
        std::optional<bool> notMigratedToFA = false;    // none: the key is absent
        std::optional<bool> notMigratedToEmail = false;
        std::optional<QString> uuid = QStringLiteral("uuid-7");
        std::optional<QString> vpnUsername = QStringLiteral("vpn-ada");
        std::optional<QString> vpnPassword = QStringLiteral("stored-pass");
        QStringList accounts{QStringLiteral("vpn-ada")};
    };
protected:
    LifecycleTest();
    ~LifecycleTest() override;

    // Writes the account as a previous run left it; the token set is in the store.
    void signInStored(const Stored& stored);
    static VPNAccount account(const QString& username, const QString& status = QStringLiteral("active"));

    std::shared_ptr<LaunchChecks> checks();
    // Runs `start` with a completion, waits for its one call (or for an alert to appear).
    std::optional<UserAuthenticationAppLaunchCase> run(const std::function<void(LaunchChecks&, LaunchChecks::Completion)>& start);
    // Waits until the launch case arrived after an alert was answered.
    std::optional<UserAuthenticationAppLaunchCase> waitForCase();

    QStringList requestedPaths() const;

    QStringList journal;
    std::shared_ptr<JournalTracking> journalTracking = std::make_shared<JournalTracking>(journal);
    std::shared_ptr<OAuthService> oauthService = std::make_shared<OAuthService>();
    std::shared_ptr<AccountLifecycleRoutes::State> routes;
    RecordingAlerts alerts;
    int presenterCalls = 0;
    int caseCalls = 0;
    std::optional<UserAuthenticationAppLaunchCase> lastCase;
};

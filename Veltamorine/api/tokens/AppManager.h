#pragma once

#include "AuthObject.h"

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <optional>

class UserDefaults;

// The bearer-token set of the signed-in user, in memory and mirrored to user defaults.
struct AppManagerTokens {
    QString iws_accessToken;
    qint64 iws_expiry = 0;                // seconds, as received
    QString iws_refreshToken;
    qint64 iws_refreshToken_expiry = 0;   // seconds, counted from iws_createdAt
    QString iws_scope;
    QString iws_tokenType;
    std::optional<QDateTime> iws_createdAt;
    std::optional<QDateTime> iws_refreshToken_createdAt;
};

// The shared token store, plus a few in-memory flags other parts of the application set and
// read. Token reads may come from any thread and always see one consistent set; writes and
// the flags belong to the main thread. Token values are never logged.
class AppManager {
public:
    // Keys of the persisted set in user defaults.
    static inline const QString accessTokenKey = QStringLiteral("oem-at");
    static inline const QString accessTokenExpiryKey = QStringLiteral("oem-ate");
    static inline const QString refreshTokenKey = QStringLiteral("oem-rt");
    static inline const QString refreshTokenExpiryKey = QStringLiteral("oem-rte");
    static inline const QString tokenTypeKey = QStringLiteral("oem_type");
    static inline const QString createdAtKey = QStringLiteral("access_token_created_at");

    static AppManager& shared();

    // A store over `defaults` (the shared one uses the standard user defaults).
    explicit AppManager(UserDefaults& defaults);

    // Takes `tokens` as the current set and persists it. With keepCreatedAt false the set is
    // stamped with the current time; with true it keeps the creation time stored before (none
    // when none is stored).
    void saveTokens(const AuthObject& tokens, bool keepCreatedAt);
    // Loads the persisted set into memory (once, at start-up). Nothing stored, or something
    // that is not a token set, leaves memory as it is.
    void authObjectJSON();
    // Forgets the set in memory and removes every persisted copy (at logout), so the next
    // start does not bring it back.
    void clearTokens();

    AppManagerTokens tokens() const;
    QString iws_accessToken() const { return tokens().iws_accessToken; }
    qint64 iws_expiry() const { return tokens().iws_expiry; }
    QString iws_refreshToken() const { return tokens().iws_refreshToken; }
    qint64 iws_refreshToken_expiry() const { return tokens().iws_refreshToken_expiry; }
    QString iws_scope() const { return tokens().iws_scope; }
    QString iws_tokenType() const { return tokens().iws_tokenType; }
    std::optional<QDateTime> iws_createdAt() const { return tokens().iws_createdAt; }
    std::optional<QDateTime> iws_refreshToken_createdAt() const { return tokens().iws_refreshToken_createdAt; }

    // The customer identifier of the last token set that named one (empty until then).
    QString customer_id;
    bool dismissLeftMenu = false;
    bool isUpdateControllerAlreadyShown = true;
    bool isLogoutOnConnectedState = false;
    bool isAlphabaticalSortingEnabled = false;
    bool isPopularitySortingEnabled = false;
    bool isPingSortingEnabled = false;
    bool isP2PEnabled = false;
    bool lastVPNStateConnected = false;
    bool isCOCRejected = false;

private:
    UserDefaults& defaults_;
    mutable QMutex mutex_;
    AppManagerTokens tokens_;
};

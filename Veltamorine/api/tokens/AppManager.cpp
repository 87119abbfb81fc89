#include "AppManager.h"

#include "ApiLog.h"
#include "Scheduler.h"
#include "UserDefaults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>

namespace {

// Values that have a JSON form of their own; anything else (dates, data) is not a token field.
bool isJsonValue(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Nullptr:
        return true;
    default:
        return false;
    }
}

}

AppManager& AppManager::shared()
{
    static AppManager* manager = new AppManager(UserDefaults::standard());
    return *manager;
}

AppManager::AppManager(UserDefaults& defaults)
    : defaults_(defaults)
{
}

AppManagerTokens AppManager::tokens() const
{
    QMutexLocker lock(&mutex_);
    return tokens_;
}

void AppManager::saveTokens(const AuthObject& tokens, bool keepCreatedAt)
{
    std::optional<QDateTime> createdAt;
    if (!keepCreatedAt)
        createdAt = Scheduler::main().now();
    else
        createdAt = defaults_.dateForKey(createdAtKey);

    AppManagerTokens saved;
    {
        QMutexLocker lock(&mutex_);
        tokens_.iws_accessToken = tokens.accessToken.value_or(QString());
        tokens_.iws_expiry = tokens.accessTokenExpiry.value_or(0);
        tokens_.iws_refreshToken = tokens.refreshToken.value_or(QString());
        tokens_.iws_refreshToken_expiry = tokens.refreshTokenExpiry.value_or(0);
        tokens_.iws_tokenType = tokens.tokenType.value_or(QString());
        tokens_.iws_createdAt = createdAt;
        saved = tokens_;
    }
    if (tokens.customerId && !tokens.customerId->isEmpty())
        customer_id = *tokens.customerId;

    defaults_.setString(saved.iws_accessToken, accessTokenKey);
    defaults_.setInteger(saved.iws_expiry, accessTokenExpiryKey);
    defaults_.setString(saved.iws_refreshToken, refreshTokenKey);
    defaults_.setInteger(saved.iws_refreshToken_expiry, refreshTokenExpiryKey);
    defaults_.setString(saved.iws_tokenType, tokenTypeKey);
    if (createdAt)
        defaults_.setDate(*createdAt, createdAtKey);
    else
        defaults_.removeObjectForKey(createdAtKey);

    // Only facts about the set, never its values.
    qCInfo(lcApi) << "token set saved; access token" << (saved.iws_accessToken.isEmpty() ? "empty" : "present")
                  << "valid for" << saved.iws_expiry << "s, refresh token for" << saved.iws_refreshToken_expiry << "s";
}

void AppManager::authObjectJSON()
{
    QVariantMap stored;
    for (const QString& key : {accessTokenKey, accessTokenExpiryKey, refreshTokenKey, refreshTokenExpiryKey}) {
        const QVariant value = defaults_.objectForKey(key);
        if (value.isValid())
            stored.insert(key, value);
    }
    if (const QVariant type = defaults_.objectForKey(tokenTypeKey); type.isValid())
        stored.insert(QStringLiteral("oem-type"), type);
    if (stored.isEmpty())
        return;

    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (!isJsonValue(it.value())) {
            qCWarning(lcApi) << "stored token set not loaded: the value under" << it.key() << "has no JSON form";
            return;
        }
    }
    // Through the JSON text, as the set would arrive, so the strict model rules apply.
    const QByteArray json = QJsonDocument(QJsonObject::fromVariantMap(stored)).toJson(QJsonDocument::Compact);
    const std::optional<AuthObject> tokens = AuthObject::fromJson(QJsonDocument::fromJson(json).object());
    if (!tokens) {
        qCWarning(lcApi) << "stored token set not loaded: a value has the wrong type";
        return;
    }
    saveTokens(*tokens, true);
}

void AppManager::clearTokens()
{
    {
        QMutexLocker lock(&mutex_);
        tokens_ = AppManagerTokens();
    }
    customer_id.clear();
    for (const QString& key :
        {accessTokenKey, accessTokenExpiryKey, refreshTokenKey, refreshTokenExpiryKey, tokenTypeKey, createdAtKey})
        defaults_.removeObjectForKey(key);
    qCInfo(lcApi) << "token set cleared";
}

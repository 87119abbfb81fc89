#pragma once

#include <QString>
#include <QStringList>

// How the application configures the SDK. Each setter also records that its field was set,
// so the order of configuration stays observable.
class QuorConfiguration {
public:
    void setEnableVPNLogs(bool value) { enableVPNLogs_ = value; mark(QStringLiteral("enableVPNLogs")); }
    void setPersistVPNDetails(bool value) { persistVPNDetails_ = value; mark(QStringLiteral("persistVPNDetails")); }
    void setSecretKey(const QString& value) { secretKey_ = value; mark(QStringLiteral("secretKey")); }
    void setTunnelProviderBundleIdentifier(const QString& value) { tunnelProviderBundleIdentifier_ = value; mark(QStringLiteral("tunnelProviderBundleIdentifier")); }
    void setAppGroupIdentifier(const QString& value) { appGroupIdentifier_ = value; mark(QStringLiteral("appGroupIdentifier")); }
    void setWireGuardTunnelProviderBundleIdentifier(const QString& value) { wireGuardTunnelProviderBundleIdentifier_ = value; mark(QStringLiteral("wireGuardTunnelProviderBundleIdentifier")); }

    bool enableVPNLogs() const { return enableVPNLogs_; }
    bool persistVPNDetails() const { return persistVPNDetails_; }
    QString secretKey() const { return secretKey_; }
    QString tunnelProviderBundleIdentifier() const { return tunnelProviderBundleIdentifier_; }
    QString appGroupIdentifier() const { return appGroupIdentifier_; }
    QString wireGuardTunnelProviderBundleIdentifier() const { return wireGuardTunnelProviderBundleIdentifier_; }

    // The names of the fields in the order they were set (a field set twice appears twice).
    QStringList fieldsSetInOrder() const { return setOrder_; }

    // The SDK accepts only a secret key of 40 lower-case hexadecimal characters.
    bool hasValidSecretKey() const;

private:
    void mark(const QString& field) { setOrder_.append(field); }

    bool enableVPNLogs_ = false;
    bool persistVPNDetails_ = false;
    QString secretKey_;
    QString tunnelProviderBundleIdentifier_;
    QString appGroupIdentifier_;
    QString wireGuardTunnelProviderBundleIdentifier_;
    QStringList setOrder_;
};

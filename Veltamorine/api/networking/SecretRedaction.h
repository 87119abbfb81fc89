#pragma once

#include <QString>
#include <QVariantMap>

// Request bodies go to error reporting to help diagnose failed calls, but some carry secrets
// (a troubleshooting sign-in holds the password, the code exchange the authorization code, a
// refresh the refresh token). Every such field is replaced before the body leaves the process.
class SecretRedaction {
public:
    static inline const QString placeholder = QStringLiteral("<redacted>");

    // True for names that hold secrets: password, authorization code, code, secret, and any
    // token (compared without regard to case; "refresh_token", "accessToken", "oem-at" ...).
    static bool isSecretField(const QString& name);
    // `values` with the value of every secret field replaced, at any depth of nested objects
    // and lists.
    static QVariantMap redacted(const QVariantMap& values);
};

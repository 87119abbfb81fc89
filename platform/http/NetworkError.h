#pragma once

#include "Error.h"

#include <QList>
#include <QNetworkReply>
#include <QSslError>

// Errors of the transfer itself (no usable HTTP reply), with the codes the rest of the
// application compares against: -1001 timed out, -1009 offline, -999 cancelled and so on.
// They are the innermost error of a failed request's chain.
class NetworkError {
public:
    static inline const QString domain = QStringLiteral("NetworkError");

    enum Code : int {
        Unknown = -1,
        Cancelled = -999,
        BadUrl = -1000,
        TimedOut = -1001,
        UnsupportedUrl = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
        HttpTooManyRedirects = -1007,
        NotConnectedToInternet = -1009,
        BadServerResponse = -1011,
        UserAuthenticationRequired = -1013,
        DataNotAllowed = -1020,
        InsecureRedirect = -1022,
        SecureConnectionFailed = -1200,
        ServerCertificateHasBadDate = -1201,
        ServerCertificateUntrusted = -1202,
        ServerCertificateNotYetValid = -1204,
        CannotCreateFile = -3000,
        CannotWriteToFile = -3003,
    };

    // The error of `code` with its standard description.
    static Error make(int code, QVariantMap userInfo = {});
    static QString description(int code);

    // What a failed transfer means, from Qt's error, the TLS problems seen on the way, and
    // whether the session's own transfer timeout ended it.
    static int codeFor(QNetworkReply::NetworkError error, const QList<QSslError>& sslErrors, bool timedOut);
};

#include "NetworkError.h"

#include <utility>

namespace {

int certificateCode(const QList<QSslError>& sslErrors)
{
    for (const QSslError& error : sslErrors) {
        switch (error.error()) {
        case QSslError::CertificateExpired:
            return NetworkError::ServerCertificateHasBadDate;
        case QSslError::CertificateNotYetValid:
            return NetworkError::ServerCertificateNotYetValid;
        default:
            break;
        }
    }
    return NetworkError::ServerCertificateUntrusted;
}

}

QString NetworkError::description(int code)
{
    static const std::pair<int, const char*> texts[] = {
        {Cancelled, "cancelled"},
        {BadUrl, "bad URL"},
        {TimedOut, "The request timed out."},
        {UnsupportedUrl, "unsupported URL"},
        {CannotFindHost, "A server with the specified hostname could not be found."},
        {CannotConnectToHost, "Could not connect to the server."},
        {NetworkConnectionLost, "The network connection was lost."},
        {HttpTooManyRedirects, "too many HTTP redirects"},
        {NotConnectedToInternet, "The Internet connection appears to be offline."},
        {BadServerResponse, "The server returned a response that could not be read."},
        {UserAuthenticationRequired, "The server requires authentication."},
        {DataNotAllowed, "The network is not available to this application."},
        {InsecureRedirect, "The server redirected to an insecure address."},
        {SecureConnectionFailed, "An SSL error has occurred and a secure connection to the server cannot be made."},
        {ServerCertificateHasBadDate, "The certificate for this server has expired."},
        {ServerCertificateUntrusted, "The certificate for this server is invalid."},
        {ServerCertificateNotYetValid, "The certificate for this server is not yet valid."},
        {CannotCreateFile, "The file could not be created."},
        {CannotWriteToFile, "The file could not be written."},
    };
    for (const auto& [value, text] : texts) {
        if (value == code)
            return QString::fromLatin1(text);
    }
    return QStringLiteral("An unknown network error occurred.");
}

Error NetworkError::make(int code, QVariantMap userInfo)
{
    return Error(domain, code, description(code), std::move(userInfo));
}

int NetworkError::codeFor(QNetworkReply::NetworkError error, const QList<QSslError>& sslErrors, bool timedOut)
{
    if (timedOut)
        return TimedOut;
    // One table for every transport failure Qt reports; HTTP-level errors (4xx, 5xx) never
    // get here because a reply with a status is judged by its status.
    switch (error) {
    case QNetworkReply::NoError:
        return Unknown;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
        return CannotConnectToHost;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return NetworkConnectionLost;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
        return CannotFindHost;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return TimedOut;
    case QNetworkReply::OperationCanceledError:
        return Cancelled;
    case QNetworkReply::SslHandshakeFailedError:
        return sslErrors.isEmpty() ? SecureConnectionFailed : certificateCode(sslErrors);
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return NotConnectedToInternet;
    case QNetworkReply::BackgroundRequestNotAllowedError:
        return DataNotAllowed;
    case QNetworkReply::TooManyRedirectsError:
        return HttpTooManyRedirects;
    case QNetworkReply::InsecureRedirectError:
        return InsecureRedirect;
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::AuthenticationRequiredError:
        return UserAuthenticationRequired;
    case QNetworkReply::ProtocolUnknownError:
        return UnsupportedUrl;
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ProtocolFailure:
        return BadServerResponse;
    default:
        return Unknown;
    }
}

#include "NetworkError.h"

#include <QSslCertificate>
#include <gtest/gtest.h>

TEST(NetworkError, OneTableFromQtErrorsToTransferCodes)
{
    const struct {
        QNetworkReply::NetworkError qt;
        int code;
    } cases[] = {
        {QNetworkReply::ConnectionRefusedError, -1004},
        {QNetworkReply::RemoteHostClosedError, -1005},
        {QNetworkReply::HostNotFoundError, -1003},
        {QNetworkReply::TimeoutError, -1001},
        {QNetworkReply::OperationCanceledError, -999},
        {QNetworkReply::SslHandshakeFailedError, -1200},
        {QNetworkReply::TemporaryNetworkFailureError, -1009},
        {QNetworkReply::NetworkSessionFailedError, -1009},
        {QNetworkReply::TooManyRedirectsError, -1007},
        {QNetworkReply::ProxyConnectionRefusedError, -1004},
        {QNetworkReply::ProtocolFailure, -1011},
        {QNetworkReply::UnknownNetworkError, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NetworkError::codeFor(c.qt, {}, false), c.code) << int(c.qt);
}

TEST(NetworkError, TheSessionsOwnTimeoutWinsOverTheCancelItCauses)
{
    EXPECT_EQ(NetworkError::codeFor(QNetworkReply::OperationCanceledError, {}, true), NetworkError::TimedOut);
}

TEST(NetworkError, CertificateProblemsGetTheirOwnCodes)
{
    const auto handshake = QNetworkReply::SslHandshakeFailedError;
    EXPECT_EQ(NetworkError::codeFor(handshake, {QSslError(QSslError::SelfSignedCertificate)}, false), -1202);
    EXPECT_EQ(NetworkError::codeFor(handshake, {QSslError(QSslError::HostNameMismatch)}, false), -1202);
    EXPECT_EQ(NetworkError::codeFor(handshake, {QSslError(QSslError::CertificateExpired)}, false), -1201);
    EXPECT_EQ(NetworkError::codeFor(handshake, {QSslError(QSslError::CertificateNotYetValid)}, false), -1204);
}

TEST(NetworkError, ErrorsCarryDomainCodeAndDescription)
{
    const Error offline = NetworkError::make(NetworkError::NotConnectedToInternet);
    EXPECT_TRUE(offline.is(NetworkError::domain, -1009));
    EXPECT_EQ(offline.message, QStringLiteral("The Internet connection appears to be offline."));
    EXPECT_FALSE(offline.underlying);
}

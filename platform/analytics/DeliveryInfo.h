#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

class Bundle;

// Delivery settings read from the information dictionary.
namespace DeliveryInfo {
inline const QString analyticsEndpointKey = QStringLiteral("Analytics Endpoint");
inline const QString errorReportsEndpointKey = QStringLiteral("Error Reports Endpoint");
// The same entry the HTTP sessions trust: the path of a PEM file with extra CA certificates.
inline const QString trustedCaKey = QStringLiteral("Trusted CA Certificate");

// The URL under `key`; empty when the entry is absent or not a string.
QUrl endpoint(const Bundle& bundle, const QString& key);
// The certificates of the PEM file named by the trusted-CA entry; none when absent or unreadable.
QList<QSslCertificate> trustedCertificates(const Bundle& bundle);
}

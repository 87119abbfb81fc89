#pragma once

#include <QList>
#include <QSslCertificate>

class QWebEngineCertificateError;

// Extra certificate authorities the embedded browser trusts besides the system's (a test or
// deployment CA named by the build configuration). Only an "unknown authority" error is
// forgiven, and only for a chain whose top certificate is signed by one of them; every other
// certificate error stands.
namespace TrustedAuthorities {

void set(const QList<QSslCertificate>& authorities);
// Reads the PEM file; false when it holds no certificate.
bool setFromFile(const QString& pemPath);
QList<QSslCertificate> current();

// Whether `chain` (leaf first) ends in a certificate signed by a trusted authority.
bool isSignedByTrustedAuthority(const QList<QSslCertificate>& chain);
// Accepts or rejects one certificate error of the engine.
void decide(QWebEngineCertificateError error);

}

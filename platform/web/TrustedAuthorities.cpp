#include "TrustedAuthorities.h"

#include "WebLog.h"

#include <QFile>
#include <QMutex>
#include <QWebEngineCertificateError>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

QMutex mutex;
QList<QSslCertificate> authorities;

X509* parse(const QSslCertificate& certificate)
{
    const QByteArray der = certificate.toDer();
    const unsigned char* data = reinterpret_cast<const unsigned char*>(der.constData());
    return d2i_X509(nullptr, &data, long(der.size()));
}

bool signs(const QSslCertificate& authority, const QSslCertificate& certificate)
{
    X509* ca = parse(authority);
    X509* cert = parse(certificate);
    bool ok = false;
    if (ca && cert) {
        EVP_PKEY* key = X509_get0_pubkey(ca);
        ok = key && X509_check_issued(ca, cert) == X509_V_OK && X509_verify(cert, key) == 1;
    }
    X509_free(cert);
    X509_free(ca);
    return ok;
}

}

namespace TrustedAuthorities {

void set(const QList<QSslCertificate>& list)
{
    QMutexLocker lock(&mutex);
    authorities = list;
}

bool setFromFile(const QString& pemPath)
{
    const QList<QSslCertificate> list = QSslCertificate::fromPath(pemPath, QSsl::Pem);
    if (list.isEmpty())
        return false;
    set(list);
    return true;
}

QList<QSslCertificate> current()
{
    QMutexLocker lock(&mutex);
    return authorities;
}

bool isSignedByTrustedAuthority(const QList<QSslCertificate>& chain)
{
    if (chain.isEmpty())
        return false;
    for (const QSslCertificate& authority : current()) {
        if (chain.last() == authority || signs(authority, chain.last()))
            return true;
    }
    return false;
}

void decide(QWebEngineCertificateError error)
{
    if (error.type() == QWebEngineCertificateError::CertificateAuthorityInvalid
        && isSignedByTrustedAuthority(error.certificateChain())) {
        error.acceptCertificate();
        return;
    }
    qCInfo(lcWeb) << "refused the certificate of" << error.url().host() << int(error.type());
    error.rejectCertificate();
}

}

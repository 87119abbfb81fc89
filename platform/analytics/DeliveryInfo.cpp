#include "DeliveryInfo.h"

#include "Bundle.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcUpload)

namespace DeliveryInfo {

QUrl endpoint(const Bundle& bundle, const QString& key)
{
    const QJsonValue value = bundle.infoDictionary().value(key);
    return value.isString() ? QUrl(value.toString()) : QUrl();
}

QList<QSslCertificate> trustedCertificates(const Bundle& bundle)
{
    const QJsonValue value = bundle.infoDictionary().value(trustedCaKey);
    if (!value.isString() || value.toString().isEmpty())
        return {};
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(value.toString(), QSsl::Pem);
    if (certificates.isEmpty())
        qCWarning(lcUpload) << "no certificate in" << value.toString();
    return certificates;
}

}

#include "SecretRedaction.h"

#include <QVariantList>

namespace {

QVariant redactValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QVariantMap)
        return SecretRedaction::redacted(value.toMap());
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList list = value.toList();
        for (QVariant& element : list)
            element = redactValue(element);
        return list;
    }
    return value;
}

}

bool SecretRedaction::isSecretField(const QString& name)
{
    const QString key = name.toLower();
    static const QStringList exact = {
        QStringLiteral("code"),
        QStringLiteral("oem-at"),
        QStringLiteral("oem-rt"),
        QStringLiteral("authorization"),
    };
    if (exact.contains(key))
        return true;
    static const QStringList parts = {
        QStringLiteral("password"),
        QStringLiteral("secret"),
        QStringLiteral("token"),
        QStringLiteral("authorization_code"),
        QStringLiteral("code_verifier"),
    };
    for (const QString& part : parts) {
        if (key.contains(part))
            return true;
    }
    return false;
}

QVariantMap SecretRedaction::redacted(const QVariantMap& values)
{
    QVariantMap out;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        out.insert(it.key(), isSecretField(it.key()) ? QVariant(placeholder) : redactValue(it.value()));
    return out;
}

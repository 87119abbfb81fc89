#include "AnalyticsProperties.h"

#include <QDateTime>
#include <QJsonArray>
#include <QUrl>

namespace AnalyticsValue {

bool isRepresentable(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
    case QMetaType::QDateTime:
    case QMetaType::QUrl:
    case QMetaType::Nullptr:
        return true;
    case QMetaType::QVariantList:
        for (const QVariant& item : value.toList())
            if (!isRepresentable(item))
                return false;
        return true;
    case QMetaType::QVariantMap:
        for (const QVariant& item : value.toMap())
            if (!isRepresentable(item))
                return false;
        return true;
    default:
        return false;
    }
}

QJsonValue toJson(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toUTC().toString(Qt::ISODateWithMs);
    case QMetaType::QUrl:
        return value.toUrl().toString();
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& item : value.toList())
            array.append(toJson(item));
        return array;
    }
    case QMetaType::QVariantMap:
        return toJson(value.toMap());
    case QMetaType::Nullptr:
        return QJsonValue::Null;
    default:
        return QJsonValue::fromVariant(value);
    }
}

QJsonObject toJson(const AnalyticsProperties& properties)
{
    QJsonObject object;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        object.insert(it.key(), toJson(it.value()));
    return object;
}

}

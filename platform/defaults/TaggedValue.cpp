#include "TaggedValue.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QStringList>
#include <QVariantHash>
#include <cmath>
#include <limits>

namespace TaggedValue {

namespace {

QJsonObject tagged(const QString& type, const QJsonValue& value)
{
    return QJsonObject{{QStringLiteral("type"), type}, {QStringLiteral("value"), value}};
}

// JSON has no NaN or infinity, so those few doubles travel as text.
QJsonValue encodeDouble(double d)
{
    if (std::isnan(d))
        return QStringLiteral("nan");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return d;
}

std::optional<double> decodeDouble(const QJsonValue& v)
{
    if (v.isDouble())
        return v.toDouble();
    const QString text = v.toString();
    if (text == u"nan")
        return std::numeric_limits<double>::quiet_NaN();
    if (text == u"inf")
        return std::numeric_limits<double>::infinity();
    if (text == u"-inf")
        return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

}

std::optional<QVariant> normalized(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QVariant(value.toBool());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QVariant(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        if (u > qulonglong(std::numeric_limits<qlonglong>::max()))
            return std::nullopt;
        return QVariant(qlonglong(u));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return QVariant(value.toDouble());
    case QMetaType::QString:
        return QVariant(value.toString());
    case QMetaType::QByteArray:
        return QVariant(value.toByteArray());
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return std::nullopt;
        return QVariant(QDateTime::fromMSecsSinceEpoch(date.toMSecsSinceEpoch(), Qt::UTC));
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QVariantList out;
        const QVariantList in = value.toList();
        out.reserve(in.size());
        for (const QVariant& element : in) {
            auto n = normalized(element);
            if (!n)
                return std::nullopt;
            out.append(*n);
        }
        return QVariant(out);
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap out;
        const QVariantMap in = value.toMap();
        for (auto it = in.begin(); it != in.end(); ++it) {
            auto n = normalized(it.value());
            if (!n)
                return std::nullopt;
            out.insert(it.key(), *n);
        }
        return QVariant(out);
    }
    default:
        return std::nullopt;
    }
}

QJsonObject encode(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return tagged(QStringLiteral("bool"), value.toBool());
    case QMetaType::LongLong:
        return tagged(QStringLiteral("integer"), value.toLongLong());
    case QMetaType::Double:
        return tagged(QStringLiteral("double"), encodeDouble(value.toDouble()));
    case QMetaType::QString:
        return tagged(QStringLiteral("string"), value.toString());
    case QMetaType::QByteArray:
        return tagged(QStringLiteral("data"), QString::fromLatin1(value.toByteArray().toBase64()));
    case QMetaType::QDateTime:
        return tagged(QStringLiteral("date"), value.toDateTime().toMSecsSinceEpoch());
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& element : value.toList())
            array.append(encode(element));
        return tagged(QStringLiteral("array"), array);
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            object.insert(it.key(), encode(it.value()));
        return tagged(QStringLiteral("dictionary"), object);
    }
    default:
        Q_ASSERT_X(false, "TaggedValue::encode", "value not normalized");
        return {};
    }
}

std::optional<QVariant> decode(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    const QString type = object.value(QStringLiteral("type")).toString();
    const QJsonValue v = object.value(QStringLiteral("value"));
    if (type == u"bool" && v.isBool())
        return QVariant(v.toBool());
    if (type == u"integer" && v.isDouble()) {
        const double d = v.toDouble();
        if (d != std::floor(d))
            return std::nullopt;
        return QVariant(qlonglong(v.toInteger()));
    }
    if (type == u"double") {
        if (auto d = decodeDouble(v))
            return QVariant(*d);
        return std::nullopt;
    }
    if (type == u"string" && v.isString())
        return QVariant(v.toString());
    if (type == u"data" && v.isString()) {
        auto bytes = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!bytes)
            return std::nullopt;
        return QVariant(*bytes);
    }
    if (type == u"date" && v.isDouble())
        return QVariant(QDateTime::fromMSecsSinceEpoch(v.toInteger(), Qt::UTC));
    if (type == u"array" && v.isArray()) {
        QVariantList list;
        for (const QJsonValue& element : v.toArray()) {
            auto decoded = decode(element);
            if (!decoded)
                return std::nullopt;
            list.append(*decoded);
        }
        return QVariant(list);
    }
    if (type == u"dictionary" && v.isObject()) {
        QVariantMap map;
        const QJsonObject entries = v.toObject();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            auto decoded = decode(it.value());
            if (!decoded)
                return std::nullopt;
            map.insert(it.key(), *decoded);
        }
        return QVariant(map);
    }
    return std::nullopt;
}

}

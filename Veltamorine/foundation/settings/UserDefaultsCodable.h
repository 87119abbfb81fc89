#pragma once

#include "UserDefaults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <concepts>
#include <optional>

// Structured settings in the user-defaults store: a value is kept as the compact JSON text of its
// own coding in one data item, a list as an array of such items (one per element, never one JSON
// array), and an absent value written on purpose as the JSON literal null. These functions know
// no keys and add no prefix; callers pass the full key. Nothing here reports an error: what does
// not decode reads as absent (a value) or is left out (a list element).
template <typename T>
concept JsonCodable = requires(const T& value, const QJsonObject& object) {
    { value.toJson() } -> std::convertible_to<QJsonObject>;
    { T::fromJson(object) };
};

namespace UserDefaultsCodable {

namespace detail {

template <JsonCodable T>
std::optional<T> decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;  // JSON null lands here too
    auto decoded = T::fromJson(document.object());
    if (!decoded)
        return std::nullopt;
    return std::optional<T>(std::move(*decoded));
}

template <JsonCodable T>
QByteArray encode(const T& value)
{
    return QJsonDocument(value.toJson()).toJson(QJsonDocument::Compact);
}

}

// The value under `key`; absent when there is none, it is not a data item, or it doesn't decode.
template <JsonCodable T>
std::optional<T> codable(const UserDefaults& defaults, const QString& key)
{
    const auto data = defaults.dataForKey(key);
    if (!data)
        return std::nullopt;
    return detail::decode<T>(*data);
}

// Stores `value` as one data item; an absent value is stored as the JSON literal null.
template <JsonCodable T>
void setCodable(UserDefaults& defaults, const std::optional<T>& value, const QString& key)
{
    defaults.setData(value ? detail::encode(*value) : QByteArrayLiteral("null"), key);
}

// The list under `key`, elements that don't decode left out, stored order kept. Absent when
// there is no array or any element of it is not a data item.
template <JsonCodable T>
std::optional<QList<T>> array(const UserDefaults& defaults, const QString& key)
{
    const auto stored = defaults.arrayForKey(key);
    if (!stored)
        return std::nullopt;
    for (const QVariant& element : *stored) {
        if (element.typeId() != QMetaType::QByteArray)
            return std::nullopt;
    }
    QList<T> list;
    list.reserve(stored->size());
    for (const QVariant& element : *stored) {
        if (auto decoded = detail::decode<T>(element.toByteArray()))
            list.append(std::move(*decoded));
    }
    return list;
}

// Stores the list as an array of data items (an empty list keeps the key, as an empty array);
// an absent list removes the key.
template <JsonCodable T>
void setCodableArray(UserDefaults& defaults, const std::optional<QList<T>>& list, const QString& key)
{
    if (!list) {
        defaults.removeObjectForKey(key);
        return;
    }
    QVariantList items;
    items.reserve(list->size());
    for (const T& element : *list)
        items.append(detail::encode(element));
    defaults.setObject(items, key);
}

}

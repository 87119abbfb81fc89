#include "QuorDataFetcherServerShortcut.h"

#include "JsonFields.h"

#include <QRandomGenerator>

using namespace JsonFields;
using Shortcut = QuorDataFetcherServerShortcut;

std::optional<Shortcut::BackgroundColor> Shortcut::BackgroundColor::fromJson(const QJsonObject& object)
{
    BackgroundColor color;
    if (!requiredDouble(object, QLatin1StringView("red"), color.red)
        || !requiredDouble(object, QLatin1StringView("green"), color.green)
        || !requiredDouble(object, QLatin1StringView("blue"), color.blue))
        return std::nullopt;
    return color;
}

QJsonObject Shortcut::BackgroundColor::toJson() const
{
    return QJsonObject{{QStringLiteral("red"), red}, {QStringLiteral("green"), green}, {QStringLiteral("blue"), blue}};
}

const QList<Shortcut::BackgroundColor>& Shortcut::BackgroundColor::palette()
{
    static const QList<BackgroundColor> colors = [] {
        const int rgb[][3] = {{9, 69, 49},   {16, 120, 150}, {130, 147, 86}, {60, 100, 120}, {67, 171, 201},
                              {181, 198, 137}, {188, 161, 54}, {194, 87, 26},  {154, 38, 23}};
        QList<BackgroundColor> list;
        for (const auto& c : rgb)
            list.append({c[0] / 255.0, c[1] / 255.0, c[2] / 255.0});
        return list;
    }();
    return colors;
}

Shortcut::BackgroundColor Shortcut::BackgroundColor::random()
{
    // bounded() rejects draws beyond the largest multiple of the bound, so every colour is equally likely.
    const auto& colors = palette();
    return colors.at(qsizetype(QRandomGenerator::system()->bounded(quint32(colors.size()))));
}

std::optional<Shortcut> Shortcut::fromJson(const QJsonObject& object)
{
    Shortcut shortcut;
    std::optional<QString> type;
    std::optional<QJsonObject> color;
    if (!optionalString(object, QLatin1StringView("url"), shortcut.url)
        || !optionalString(object, QLatin1StringView("country"), shortcut.country)
        || !optionalInteger(object, QLatin1StringView("id"), shortcut.id)
        || !optionalString(object, QLatin1StringView("slug"), shortcut.slug)
        || !optionalString(object, QLatin1StringView("availableCountries"), shortcut.availableCountries)
        || !optionalString(object, QLatin1StringView("type"), type)
        || !optionalBool(object, QLatin1StringView("consent"), shortcut.consent)
        || !optionalObject(object, QLatin1StringView("color"), color))
        return std::nullopt;
    if (type) {
        std::optional<Type> known = fromRaw<Type>(*type);
        if (!known)
            return std::nullopt;
        shortcut.type = *known;
    }
    if (color) {
        std::optional<BackgroundColor> decoded = BackgroundColor::fromJson(*color);
        if (!decoded)
            return std::nullopt;
        shortcut.color = *decoded;
    } else {
        shortcut.color = BackgroundColor::random();
    }
    return shortcut;
}

QJsonObject Shortcut::toJson() const
{
    QJsonObject object{{QStringLiteral("type"), toRaw(type)}, {QStringLiteral("color"), color.toJson()}};
    if (url)
        object.insert(QStringLiteral("url"), *url);
    if (country)
        object.insert(QStringLiteral("country"), *country);
    if (id)
        object.insert(QStringLiteral("id"), *id);
    if (slug)
        object.insert(QStringLiteral("slug"), *slug);
    if (availableCountries)
        object.insert(QStringLiteral("availableCountries"), *availableCountries);
    if (consent)
        object.insert(QStringLiteral("consent"), *consent);
    return object;
}

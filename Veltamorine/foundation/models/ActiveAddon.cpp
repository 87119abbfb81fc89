#include "ActiveAddon.h"

#include "JsonFields.h"

using namespace JsonFields;

ActiveAddon::ActiveAddon(QString title, QString expiry, QString status, std::optional<QString> slug)
    : slug(std::move(slug)), m_title(std::move(title)), m_expiry(std::move(expiry)), m_status(std::move(status))
{
}

std::optional<ActiveAddon> ActiveAddon::fromJson(const QJsonObject& object)
{
    std::optional<QString> slug;
    QString title, expiry, status;
    if (!optionalString(object, QLatin1StringView("slug"), slug)
        || !requiredString(object, QLatin1StringView("title"), title)
        || !requiredString(object, QLatin1StringView("expiry"), expiry)
        || !requiredString(object, QLatin1StringView("status"), status))
        return std::nullopt;
    return ActiveAddon(title, expiry, status, slug);
}

QJsonObject ActiveAddon::toJson() const
{
    QJsonObject object{
        {QStringLiteral("title"), title()},
        {QStringLiteral("expiry"), expiry()},
        {QStringLiteral("status"), status()},
    };
    if (slug)
        object.insert(QStringLiteral("slug"), *slug);
    return object;
}

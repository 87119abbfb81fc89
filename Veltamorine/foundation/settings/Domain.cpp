#include "Domain.h"

namespace {

QString bareHost(QString text)
{
    text.remove(u'/');
    text.remove(QStringLiteral("https:"));
    return text;
}

}

std::optional<Domain> Domain::fromJson(const QJsonObject& object)
{
    const QJsonValue auth = object.value(QLatin1StringView("authTokenUrl"));
    const QJsonValue services = object.value(QLatin1StringView("servicesUrl"));
    if (!auth.isString() || !services.isString())
        return std::nullopt;
    return Domain{bareHost(auth.toString()), bareHost(services.toString())};
}

QJsonObject Domain::toJson() const
{
    return QJsonObject{{QLatin1StringView("authTokenUrl"), authTokenUrl},
                       {QLatin1StringView("servicesUrl"), servicesUrl}};
}

#include "BaseURL.h"

#include "JsonFields.h"

BaseURL::BaseURL(QList<Domain> baseUrls)
    : baseUrls(std::move(baseUrls))
{
}

std::optional<QUrl> BaseURL::next(const QUrl& url, AppPreferences& appPreferences)
{
    if (baseUrls.isEmpty())
        return std::nullopt;
    if (currentUrlPointer >= baseUrls.size()) {
        currentUrlPointer = 0;
        return std::nullopt;
    }
    const Domain previous = appPreferences.activeDomain();
    const Domain candidate = baseUrls.at(currentUrlPointer);
    ++currentUrlPointer;
    appPreferences.setActiveDomain(candidate);

    QString text = url.toString(QUrl::FullyEncoded);
    if (!previous.servicesUrl.isEmpty())
        text.replace(previous.servicesUrl, candidate.servicesUrl, Qt::CaseSensitive);
    const QUrl moved(text, QUrl::StrictMode);
    if (!moved.isValid())
        return std::nullopt;
    return moved;
}

std::optional<BaseURL> BaseURL::fromJson(const QJsonObject& object)
{
    QJsonArray array;
    if (!JsonFields::requiredArray(object, QLatin1StringView("baseUrls"), array))
        return std::nullopt;
    auto domains = JsonFields::decodeList<Domain>(array, [](const QJsonObject& o) { return Domain::fromJson(o); });
    if (!domains)
        return std::nullopt;
    return BaseURL(std::move(*domains));
}

QJsonObject BaseURL::toJson() const
{
    return QJsonObject{{QStringLiteral("baseUrls"), JsonFields::encodeList(baseUrls)}};
}

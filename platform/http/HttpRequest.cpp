#include "HttpRequest.h"

#include "HttpError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

std::expected<HttpRequest, Error> HttpRequest::make(HttpMethod method, const QUrl& url,
    const std::optional<QVariantMap>& parameters, ParameterEncoding encoding, const HttpHeaders& headers)
{
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return std::unexpected(HttpError::invalidUrl(url));
    HttpRequest request{method, url, headers, {}};
    if (!parameters)
        return request;
    switch (encoding) {
    case ParameterEncoding::UrlQuery: {
        QUrlQuery query(url);
        for (auto it = parameters->cbegin(); it != parameters->cend(); ++it) {
            if (!it.value().canConvert<QString>())
                return std::unexpected(HttpError::parameterEncodingFailed(QStringLiteral("no text form for ") + it.key()));
            query.addQueryItem(it.key(), it.value().toString());
        }
        request.url.setQuery(query);
        break;
    }
    case ParameterEncoding::Json:
        request.body = QJsonDocument(QJsonObject::fromVariantMap(*parameters)).toJson(QJsonDocument::Compact);
        if (!request.headers.contains("Content-Type"))
            request.headers.set("Content-Type", "application/json");
        break;
    }
    return request;
}

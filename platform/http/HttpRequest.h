#pragma once

#include "Error.h"
#include "HttpHeaders.h"
#include "HttpMethod.h"

#include <QByteArray>
#include <QUrl>
#include <QVariantMap>
#include <expected>
#include <optional>

// How request parameters travel.
enum class ParameterEncoding {
    UrlQuery,  // as URL query items (values as text), added after any query already there
    Json,      // as a JSON object in the body, with "Content-Type: application/json"
};

// One request as it goes on the wire; the interceptor sees and may change this form.
struct HttpRequest {
    HttpMethod method = HttpMethod::Get;
    QUrl url;
    HttpHeaders headers;
    QByteArray body;

    // A request with `parameters` encoded as asked. No parameters: no query change and no
    // body. A URL that is not a valid absolute URL, or a query value that has no text form,
    // gives an error.
    static std::expected<HttpRequest, Error> make(HttpMethod method, const QUrl& url,
        const std::optional<QVariantMap>& parameters = std::nullopt,
        ParameterEncoding encoding = ParameterEncoding::UrlQuery, const HttpHeaders& headers = {});
};

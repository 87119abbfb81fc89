#pragma once

#include "Error.h"
#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QByteArray>
#include <expected>
#include <optional>

// Everything about one finished data request, delivered once on the main thread.
struct DataResponse {
    std::optional<HttpRequest> request;    // as sent (after the interceptor), absent if never sent
    std::optional<HttpResponse> response;  // absent when no HTTP reply arrived
    std::optional<QByteArray> data;        // the body as received; absent when no HTTP reply arrived
    std::optional<HttpMetrics> metrics;
    std::expected<QByteArray, Error> result;  // the data, or why the request failed
    int retryCount = 0;

    bool succeeded() const { return result.has_value(); }
    const Error* error() const { return result ? nullptr : &result.error(); }
};

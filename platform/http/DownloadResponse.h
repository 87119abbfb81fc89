#pragma once

#include "Error.h"
#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QString>
#include <expected>
#include <optional>

// Everything about one finished download.
struct DownloadResponse {
    std::optional<HttpRequest> request;
    std::optional<HttpResponse> response;
    std::optional<HttpMetrics> metrics;
    std::expected<QString, Error> result;  // the path of the stored file, or why it failed

    const Error* error() const { return result ? nullptr : &result.error(); }
};

// How far a download has come. `total` is -1 while the size is unknown.
struct DownloadProgress {
    qint64 completed = 0;
    qint64 total = -1;
    // 0 to 1; 0 while the total is unknown.
    double fractionCompleted() const { return total > 0 ? double(completed) / double(total) : 0.0; }
};

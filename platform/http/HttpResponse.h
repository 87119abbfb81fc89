#pragma once

#include "Error.h"
#include "HttpHeaders.h"
#include "HttpRequest.h"

#include <QByteArray>
#include <QDateTime>
#include <QUrl>
#include <expected>
#include <optional>

// The HTTP part of a reply: status line and header fields.
struct HttpResponse {
    int statusCode = 0;
    HttpHeaders headers;
    QUrl url;
};

// How long one request took, from the first byte sent to the end of the reply.
struct HttpMetrics {
    QDateTime start;
    QDateTime end;
    double duration() const { return start.msecsTo(end) / 1000.0; }  // seconds
};

#pragma once

#include "SandboxReply.h"
#include "SandboxRequest.h"

#include <QByteArrayList>
#include <QRegularExpression>
#include <QString>
#include <functional>

// What a request body must look like on a route.
enum class SandboxBody {
    Any,         // not checked
    Empty,       // no body at all (GET, downloads)
    JsonObject,  // a JSON object
};

// One entry of the stand-in's route table: a method and path, what every request on it must
// carry, and the handler that answers. Handlers run on the server's own threads.
struct SandboxRoute {
    QByteArray method;
    QString path;                     // exact path, or a regular expression when `pattern` is set
    bool pattern = false;
    QByteArrayList requiredHeaders;   // names that must be present (case-insensitive)
    SandboxBody body = SandboxBody::Any;
    std::function<SandboxReply(const SandboxRequest&)> handler;

    bool matches(const QByteArray& requestMethod, const QString& requestPath) const
    {
        if (requestMethod != method)
            return false;
        if (!pattern)
            return requestPath == path;
        return QRegularExpression(QRegularExpression::anchoredPattern(path)).match(requestPath).hasMatch();
    }
};

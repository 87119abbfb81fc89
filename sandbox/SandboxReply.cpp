#include "SandboxReply.h"

#include <QJsonDocument>

SandboxReply SandboxReply::json(const QJsonObject& object, int status)
{
    return raw(status, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

SandboxReply SandboxReply::raw(int status, const QByteArray& body, const QByteArray& contentType)
{
    SandboxReply reply;
    reply.status = status;
    reply.body = body;
    reply.contentType = contentType;
    return reply;
}

SandboxReply SandboxReply::stalled()
{
    SandboxReply reply;
    reply.stall = true;
    return reply;
}

SandboxReply SandboxReply::file(const QByteArray& content, const QByteArray& fileName, int chunkSize)
{
    SandboxReply reply = raw(200, content, "application/octet-stream");
    if (!fileName.isEmpty())
        reply.headers.append({"Content-Disposition", "attachment; filename=\"" + fileName + "\""});
    reply.chunkSize = chunkSize;
    return reply;
}

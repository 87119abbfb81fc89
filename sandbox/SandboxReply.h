#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>

// What the stand-in service answers to one request.
struct SandboxReply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
    // Never answer: the request hangs until the client gives up or the server stops.
    bool stall = false;
    // Above 0, the body is streamed in pieces of this many bytes (for progress reports).
    int chunkSize = 0;
    // Above 0 (with chunkSize), the stream stops after this many bytes until the test calls
    // SandboxServer::releaseHeldReplies() (or the server stops), so a client sees the transfer
    // in two parts.
    qint64 holdAfterBytes = 0;

    static SandboxReply json(const QJsonObject& object, int status = 200);
    static SandboxReply raw(int status, const QByteArray& body, const QByteArray& contentType = "application/json");
    static SandboxReply stalled();
    // A file download: the body with a Content-Disposition naming `fileName` (none when empty).
    static SandboxReply file(const QByteArray& content, const QByteArray& fileName, int chunkSize = 64 * 1024);
};

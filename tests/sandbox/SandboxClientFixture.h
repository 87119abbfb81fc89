#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QPair>
#include <QUrl>

// A plain Qt client that trusts only the build's test CA, for talking to the stand-in directly.
struct SandboxClientReply {
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    QHash<QByteArray, QByteArray> headers;
};

SandboxClientReply sendToSandbox(const QByteArray& method, const QUrl& url, const QByteArray& body = {},
    const QList<QPair<QByteArray, QByteArray>>& headers = {}, int timeoutMs = 5000);

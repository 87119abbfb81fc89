#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// One request as the stand-in service received it.
struct SandboxRequest {
    QByteArray method;
    QString path;                               // decoded, without the query
    QList<QPair<QString, QString>> query;       // decoded items, in the order they were sent
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // Header value by case-insensitive name; empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    // First query item of that name.
    std::optional<QString> queryItem(const QString& name) const;
    // The body as a JSON object, when it is one.
    std::optional<QJsonObject> jsonBody() const;
};

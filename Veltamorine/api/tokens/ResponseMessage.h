#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

// The status header of token and session replies.
struct ResponseMessage {
    qint64 code = 0;  // "response_code"
    QString message;  // "message"

    static std::optional<ResponseMessage> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
    static QStringList codingKeys();
};

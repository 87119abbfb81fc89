#pragma once

#include "ResponseMessage.h"

// A reply with a status header and an optional text body (ending a dedicated-IP session).
struct GenericReponseWithHeader {
    ResponseMessage header;       // "header"
    std::optional<QString> body;  // "body"

    static std::optional<GenericReponseWithHeader> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
    static QStringList codingKeys();
};

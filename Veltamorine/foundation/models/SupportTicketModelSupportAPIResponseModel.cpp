#include "SupportTicketModelSupportAPIResponseModel.h"

#include "JsonFields.h"

using namespace JsonFields;

std::optional<SupportTicketModelSupportAPIResponseModel>
SupportTicketModelSupportAPIResponseModel::fromJson(const QJsonObject& object)
{
    SupportTicketModelSupportAPIResponseModel reply;
    if (!optionalString(object, QLatin1StringView("result"), reply.result)
        || !optionalInteger(object, QLatin1StringView("id"), reply.id)
        || !optionalString(object, QLatin1StringView("tid"), reply.tid)
        || !optionalString(object, QLatin1StringView("c"), reply.c))
        return std::nullopt;
    return reply;
}

QJsonObject SupportTicketModelSupportAPIResponseModel::toJson() const
{
    QJsonObject object;
    if (result)
        object.insert(QStringLiteral("result"), *result);
    if (id)
        object.insert(QStringLiteral("id"), *id);
    if (tid)
        object.insert(QStringLiteral("tid"), *tid);
    if (c)
        object.insert(QStringLiteral("c"), *c);
    return object;
}

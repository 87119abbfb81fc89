#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// The reply to a submitted support ticket; every field optional, so {} decodes.
// SupportTicketModel (preferences) exposes it as SupportTicketModel::SupportAPIResponseModel.
struct SupportTicketModelSupportAPIResponseModel {
    std::optional<QString> result;
    std::optional<qint64> id;
    std::optional<QString> tid;
    std::optional<QString> c;

    static std::optional<SupportTicketModelSupportAPIResponseModel> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const SupportTicketModelSupportAPIResponseModel&) const = default;
};

#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// One backend domain: the host of its authentication service and the host of its API gateway,
// both bare host names. The active domain and the candidates of the domain rotation use it.
struct Domain {
    QString authTokenUrl;
    QString servicesUrl;

    bool operator==(const Domain&) const = default;

    // Both keys are required strings. Each value loses every "/" and then every "https:", so
    // "https://host/" arrives as "host".
    static std::optional<Domain> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
};

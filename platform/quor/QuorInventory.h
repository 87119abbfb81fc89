#pragma once

#include "QuorCity.h"
#include "QuorCountry.h"
#include "QuorDatacenters.h"
#include "QuorFaults.h"

#include <QJsonObject>
#include <QList>
#include <optional>

// Everything the SDK can connect to: countries with their cities and data centres, the
// recommended city, and the failures the service wants simulated.
struct QuorInventory {
    // One data centre with the city and country it belongs to.
    struct Site {
        QuorDatacenters dataCenter;
        QuorCity city;       // without its data-centre list
        QString countryCode;
        QString countryName;
        QList<QuorProtocol> protocols;
    };

    QList<QuorCountry> countries;
    std::optional<qint64> recommendedCityId;
    QuorFaults simulation;

    const QuorCountry* countryByCode(const QString& code) const;
    const QuorCity* cityById(qint64 cityId) const;
    const QuorCountry* countryOfCity(qint64 cityId) const;

    QList<Site> sitesOfCountry(const QString& code) const;
    QList<Site> sitesOfCity(qint64 cityId) const;
    QList<Site> allSites() const;
    // The recommended city when it exists, else the first city there is.
    const QuorCity* recommendedCity() const;

    int cityCount() const;
    int dataCenterCount() const;

    static std::optional<QuorInventory> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
};

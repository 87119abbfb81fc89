#include "QuorInventory.h"

#include "JsonFields.h"

#include <QJsonArray>

namespace {

void appendSites(QList<QuorInventory::Site>& sites, const QuorCountry& country, const QuorCity& city)
{
    if (!city.data_centers)
        return;
    QuorCity bare = city;
    bare.data_centers.reset();
    for (const QuorDatacenters& dc : *city.data_centers) {
        sites.append({dc, bare, country.country.value_or(QString()), country.name.value_or(QString()),
                      country.protocols.value_or(QList<QuorProtocol>())});
    }
}

}

const QuorCountry* QuorInventory::countryByCode(const QString& code) const
{
    for (const QuorCountry& c : countries) {
        if (c.country == code)
            return &c;
    }
    return nullptr;
}

const QuorCity* QuorInventory::cityById(qint64 cityId) const
{
    for (const QuorCountry& c : countries) {
        if (!c.cities)
            continue;
        for (const QuorCity& city : *c.cities) {
            if (city.cityId == cityId)
                return &city;
        }
    }
    return nullptr;
}

const QuorCountry* QuorInventory::countryOfCity(qint64 cityId) const
{
    for (const QuorCountry& c : countries) {
        if (!c.cities)
            continue;
        for (const QuorCity& city : *c.cities) {
            if (city.cityId == cityId)
                return &c;
        }
    }
    return nullptr;
}

QList<QuorInventory::Site> QuorInventory::sitesOfCountry(const QString& code) const
{
    QList<Site> sites;
    if (const QuorCountry* c = countryByCode(code); c && c->cities) {
        for (const QuorCity& city : *c->cities)
            appendSites(sites, *c, city);
    }
    return sites;
}

QList<QuorInventory::Site> QuorInventory::sitesOfCity(qint64 cityId) const
{
    QList<Site> sites;
    const QuorCountry* c = countryOfCity(cityId);
    const QuorCity* city = cityById(cityId);
    if (c && city)
        appendSites(sites, *c, *city);
    return sites;
}

QList<QuorInventory::Site> QuorInventory::allSites() const
{
    QList<Site> sites;
    for (const QuorCountry& c : countries) {
        for (const QuorCity& city : c.cities.value_or(QList<QuorCity>()))
            appendSites(sites, c, city);
    }
    return sites;
}

const QuorCity* QuorInventory::recommendedCity() const
{
    if (recommendedCityId) {
        if (const QuorCity* city = cityById(*recommendedCityId))
            return city;
    }
    for (const QuorCountry& c : countries) {
        if (c.cities && !c.cities->isEmpty())
            return &c.cities->first();
    }
    return nullptr;
}

int QuorInventory::cityCount() const
{
    int n = 0;
    for (const QuorCountry& c : countries)
        n += c.cities ? c.cities->size() : 0;
    return n;
}

int QuorInventory::dataCenterCount() const
{
    int n = 0;
    for (const QuorCountry& c : countries) {
        for (const QuorCity& city : c.cities.value_or(QList<QuorCity>()))
            n += city.data_centers ? city.data_centers->size() : 0;
    }
    return n;
}

std::optional<QuorInventory> QuorInventory::fromJson(const QJsonObject& object)
{
    QuorInventory inventory;
    std::optional<QList<QuorCountry>> countries;
    if (!JsonFields::optionalList(object, QLatin1StringView("countries"), countries) || !countries)
        return std::nullopt;
    inventory.countries = std::move(*countries);

    const QJsonValue recommended = object.value(QStringLiteral("recommended"));
    if (recommended.isObject()) {
        if (!JsonFields::optionalInteger(recommended.toObject(), QLatin1StringView("city_id"), inventory.recommendedCityId))
            return std::nullopt;
    } else if (!recommended.isUndefined() && !recommended.isNull()) {
        return std::nullopt;
    }

    const QJsonValue simulation = object.value(QStringLiteral("simulation"));
    if (simulation.isObject()) {
        std::optional<QuorFaults> faults = QuorFaults::fromJson(simulation.toObject());
        if (!faults)
            return std::nullopt;
        inventory.simulation = *faults;
    } else if (!simulation.isUndefined() && !simulation.isNull()) {
        return std::nullopt;
    }
    return inventory;
}

QJsonObject QuorInventory::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("version"), 1);
    o.insert(QStringLiteral("countries"), JsonFields::encodeList(countries));
    if (recommendedCityId) {
        QJsonObject r;
        r.insert(QStringLiteral("city_id"), *recommendedCityId);
        o.insert(QStringLiteral("recommended"), r);
    }
    const QJsonObject faults = simulation.toJson();
    if (!faults.isEmpty())
        o.insert(QStringLiteral("simulation"), faults);
    return o;
}

#include "QuorInventoryGenerator.h"

#include "QuorLatencyProbe.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

QString slug(const QString& name)
{
    QString s = name.toLower();
    s.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    return s;
}

QList<QuorProtocol> protocolsFor(int countryIndex)
{
    QList<QuorProtocol> list;
    const quint64 h = QuorLatencyProbe::mix(static_cast<quint64>(countryIndex) + 1000);
    for (const QString& word : QuorProtocol::knownWords()) {
        // A few countries lack one protocol, so protocol filtering has something to do.
        if (word == QLatin1String("WireGuard") && h % 7 == 0)
            continue;
        if (word == QLatin1String("IPSEC") && h % 11 == 3)
            continue;
        list.append(QuorProtocol(word));
    }
    return list;
}

}

QuorInventory QuorInventoryGenerator::generate()
{
    QFile file(QStringLiteral(":/quor/quor-locations.json"));
    QuorInventory inventory;
    if (!file.open(QIODevice::ReadOnly))
        return inventory;
    const QJsonArray seeds = QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("countries")).toArray();

    qint64 nextCityId = 1;
    int siteIndex = 0;
    qint64 bestLatency = -1;
    for (int ci = 0; ci < seeds.size(); ++ci) {
        const QJsonObject seed = seeds.at(ci).toObject();
        const QString code = seed.value(QStringLiteral("code")).toString();
        QuorCountry country;
        country.country = code;
        country.name = seed.value(QStringLiteral("name")).toString();
        country.iso_code = code;
        country.protocols = protocolsFor(ci);
        QList<QuorCity> cities;
        QList<QuorDatacenters> countryCenters;
        for (const QJsonValue& cityName : seed.value(QStringLiteral("cities")).toArray()) {
            QuorCity city;
            city.cityId = nextCityId++;
            city.name = cityName.toString();
            city.country = code;
            const int count = 4 + static_cast<int>(QuorLatencyProbe::mix(static_cast<quint64>(city.cityId)) % 10);
            QList<QuorDatacenters> centers;
            for (int k = 1; k <= count; ++k, ++siteIndex) {
                QuorDatacenters dc;
                dc.dataCenterId = city.cityId * 100 + k;
                dc.ip = QStringLiteral("198.%1.%2.%3").arg(18 + siteIndex / 62500).arg(siteIndex / 250 % 250).arg(siteIndex % 250 + 1);
                const QString serverName = QStringLiteral("%1-%2-%3").arg(code.toLower(), slug(*city.name)).arg(k, 2, 10, QLatin1Char('0'));
                dc.hostname = serverName + QStringLiteral(".servers.quor.test");
                dc.nasIdentifier = QStringLiteral("nas-") + serverName;
                centers.append(dc);
                const qint64 latency = QuorLatencyProbe::latencyOfDataCenter(dc.dataCenterId);
                if (bestLatency < 0 || latency < bestLatency) {
                    bestLatency = latency;
                    inventory.recommendedCityId = city.cityId;
                }
            }
            countryCenters += centers;
            city.data_centers = centers;
            cities.append(city);
        }
        country.cities = cities;
        country.dataCenters = countryCenters;
        inventory.countries.append(country);
    }
    return inventory;
}

std::shared_ptr<const QuorInventory> QuorInventoryGenerator::defaultInventory()
{
    static const std::shared_ptr<const QuorInventory> inventory = std::make_shared<const QuorInventory>(generate());
    return inventory;
}

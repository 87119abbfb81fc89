#include "QuorDataFetcher.h"

#include "EventTrackerEvent.h"
#include "Factories.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "QuorDataFetcherLog.h"
#include "QuorProtocol.h"
#include "UserDefaultsCodable.h"
#include "VPNProtocol.h"

#include <QFile>
#include <QJsonDocument>

namespace {

using Server = QuorDataFetcher::Server;
using Servers = QuorDataFetcher::Servers;

Server::Ptr firstWithId(const Servers& servers, const QString& id)
{
    for (const Server::Ptr& server : servers) {
        if (server && server->id == id)
            return server;
    }
    return nullptr;
}

qsizetype indexOfId(const Servers& servers, const QString& id)
{
    for (qsizetype i = 0; i < servers.size(); ++i) {
        if (servers.at(i) && servers.at(i)->id == id)
            return i;
    }
    return -1;
}

bool containsId(const Servers& servers, const QString& id)
{
    return indexOfId(servers, id) >= 0;
}

QList<QuorDatacenters> sdkDataCenters(const QList<QuorDataFetcher::DataCenter>& centers)
{
    QList<QuorDatacenters> list;
    list.reserve(centers.size());
    for (const auto& center : centers) {
        QuorDatacenters sdk;
        sdk.dataCenterId = center.id;
        sdk.latency = center.latency;
        sdk.ip = center.ip;
        sdk.hostname = center.hostname;
        list.append(sdk);
    }
    return list;
}

QString connectionStateName(int sdkStatus)
{
    // The SDK reads 3 as connected and 2 as connecting; the names are the connection states'.
    if (sdkStatus == 3)
        return QStringLiteral("Connected");
    if (sdkStatus == 2)
        return QStringLiteral("Connecting");
    return QStringLiteral("Disconnected");
}

// What a measured SDK object looks like to the merge.
QString measuredId(const QuorCountry& country) { return country.country.value_or(QString()); }
QString measuredId(const QuorCity& city) { return QString::number(city.cityId); }
const std::optional<QList<QuorDatacenters>>& measuredCenters(const QuorCountry& country) { return country.dataCenters; }
const std::optional<QList<QuorDatacenters>>& measuredCenters(const QuorCity& city) { return city.data_centers; }

}

QuorDataFetcher::QuorDataFetcher(PreservedPreferences preservedPreferences, AppPreferences appPreference,
                                 QuorManagerProtocol* quorManager, ErrorSender sentry, EventTracker eventTracker, User user)
    : preservedPreferences(std::move(preservedPreferences))
    , appPreference(std::move(appPreference))
    , quorManager(quorManager)
    , sentry(std::move(sentry))
    , eventTracker(std::move(eventTracker))
    , user(std::move(user))
{
}

QuorDataFetcher::~QuorDataFetcher() = default;

// --- location lists

void QuorDataFetcher::fetchCountries(const QList<QuorCountry>& cached, ServersCompletion completion)
{
    const QString name = protocolName(preservedPreferences.selectedProtocol());
    const auto stored = appPreference.defaults.arrayForKey(AppPreferences::countriesKey());
    if (!cached.isEmpty() && stored && !stored->isEmpty()) {
        handleFetchedCountries(countries(cached, name), completion);
        return;
    }

    eventTracker.mixpanel->time(toRaw(EventTrackerEvent::locationLoadTime));
    if (!quorManager) {
        qCWarning(lcQuorDataFetcher) << "Failed to fetch countries from quor: the SDK is not set up";
        return;
    }
    std::weak_ptr<int> alive = alive_;
    quorManager->getCountries(
        [this, alive, name, completion](const std::optional<QList<QuorCountry>>& received) {
            qCInfo(lcQuorDataFetcher) << "Fetched countries successfully";
            // The SDK answers on its own thread; rows and stores belong to the main thread.
            MainQueue::async([this, alive, name, completion, received] {
                if (alive.expired())
                    return;
                handleFetchedCountryList(received, name, completion);
            });
        },
        [](const std::optional<Error>&) { qCWarning(lcQuorDataFetcher) << "Failed to fetch countries from quor"; });
}

void QuorDataFetcher::handleFetchedCountryList(const std::optional<QList<QuorCountry>>& received,
                                               const QString& protocolName, const ServersCompletion& completion)
{
    const QList<QuorCountry> list = received.value_or(QList<QuorCountry>{});
    UserDefaultsCodable::setCodableArray(appPreference.defaults, std::optional(list), AppPreferences::countriesKey());
    handleFetchedCountries(countries(list, protocolName), completion);
}

void QuorDataFetcher::handleFetchedCountries(const QList<QuorCountry>& countries, const ServersCompletion& completion)
{
    const Overlay overlay = loadLocalCountries().value_or(Overlay{});
    const Servers favorites = preservedPreferences.favorites();
    const Server::Ptr recommended = appPreference.recommendedServer();
    const Servers rows = servers(countries, favorites, overlay, recommended);
    preservedPreferences.setCountries(rows);
    eventTracker.track(EventTrackerEvent::locationLoadTime, QVariantMap{{QStringLiteral("type"), QStringLiteral("Country")}});
    if (completion)
        completion(rows);
}

QList<QuorCountry> QuorDataFetcher::cachedCountries() const
{
    return UserDefaultsCodable::array<QuorCountry>(appPreference.defaults, AppPreferences::countriesKey())
        .value_or(QList<QuorCountry>{});
}

QuorManagerProtocol::CountriesBlock QuorDataFetcher::cacheFetchedCountries()
{
    return [](const std::optional<QList<QuorCountry>>& received) {
        qCInfo(lcQuorDataFetcher) << "Fetched countries successfully";
        MainQueue::async([received] {
            AppPreferences preferences = makeAppPreferences();
            UserDefaultsCodable::setCodableArray(preferences.defaults, std::optional(received.value_or(QList<QuorCountry>{})),
                                                 AppPreferences::countriesKey());
        });
    };
}

QuorManagerProtocol::ErrorBlock QuorDataFetcher::logCountriesFailure()
{
    return [](const std::optional<Error>&) { qCWarning(lcQuorDataFetcher) << "Failed to fetch countries from quor"; };
}

std::optional<QuorDataFetcher::Overlay> QuorDataFetcher::loadLocalCountries()
{
    QFile file(localCountriesPath);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcQuorDataFetcher).noquote() << "error " + file.errorString();
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcQuorDataFetcher).noquote()
            << "error " + (parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                         : QStringLiteral("the overlay is not a JSON object"));
        return std::nullopt;
    }
    std::optional<Overlay> overlay = LocalJsonCountry::overlayFromJson(document.object());
    if (!overlay) {
        qCWarning(lcQuorDataFetcher) << "error the overlay holds an entry that does not decode";
        return std::nullopt;
    }
    applyLocalCountriesToFavorites(*overlay);
    applyLocalCountriesToRecents(*overlay);
    return overlay;
}

void QuorDataFetcher::applyLocalCountriesToFavorites(const Overlay& overlay)
{
    Servers favorites = preservedPreferences.favorites();
    for (qsizetype i = 0; i < favorites.size(); ++i) {
        const Server::Ptr row = favorites.at(i);
        const auto entry = overlay.constFind(row->id);
        row->p2p = entry != overlay.constEnd() && entry->p2p;
        row->quantumResistant = entry != overlay.constEnd() && entry->quantumResistant.value_or(false);
        preservedPreferences.setFavorites(favorites);
        Servers recents = preservedPreferences.recents();
        const qsizetype recent = indexOfId(recents, row->id);
        if (recent >= 0) {
            recents[recent] = row;
            preservedPreferences.setRecents(recents);
        }
        postFavoritesUpdated(false, row, favorites);
    }
}

void QuorDataFetcher::applyLocalCountriesToRecents(const Overlay& overlay)
{
    Servers recents = preservedPreferences.recents();
    for (const Server::Ptr& row : recents) {
        const auto entry = overlay.constFind(row->id);
        row->p2p = entry != overlay.constEnd() && entry->p2p;
        row->quantumResistant = entry != overlay.constEnd() && entry->quantumResistant.value_or(false);
        preservedPreferences.setRecents(recents);
    }
}

QString QuorDataFetcher::protocolName(PreservedPreferences::VPNProtocol protocol)
{
    return QuorProtocol(VPNProtocols::sdkName(protocol)).name().value_or(QString());
}

QList<QuorCountry> QuorDataFetcher::countries(const QList<QuorCountry>& countries, const QString& supporting)
{
    QList<QuorCountry> kept;
    for (const QuorCountry& country : countries) {
        if (!country.protocols)
            continue;
        for (const QuorProtocol& protocol : *country.protocols) {
            if (protocol.name() == supporting) {
                kept.append(country);
                break;
            }
        }
    }
    return kept;
}

Server::Ptr QuorDataFetcher::buildCountryRow(const QuorCountry& country)
{
    return Server::make(*country.country, *country.name, ServerType::Country, *country.country);
}

Servers QuorDataFetcher::servers(const QList<QuorCountry>& fromCountries, const Servers& favorites,
                                 const Overlay& overlay, const Server::Ptr& recommended)
{
    Servers rows;
    rows.reserve(fromCountries.size());
    for (const QuorCountry& country : fromCountries) {
        // Without a code or a name the SDK object cannot form a row.
        if (!country.country || !country.name)
            continue;
        const Server::Ptr row = buildCountryRow(country);
        row->favorite = containsId(favorites, row->id);
        row->dataCenters = dataCenters(country.dataCenters);
        const auto entry = overlay.constFind(row->id);
        if (entry != overlay.constEnd()) {
            row->p2p = entry->p2p;
            row->priority = entry->priority;
            row->quantumResistant = entry->quantumResistant.value_or(false);
        }
        if (country.cities) {
            Servers cities;
            cities.reserve(country.cities->size());
            for (const QuorCity& city : *country.cities) {
                if (!city.name || !city.country)
                    continue;
                const Server::Ptr cityRow = Server::make(QString::number(city.cityId), *city.name, ServerType::City, *city.country);
                cityRow->favorite = containsId(favorites, cityRow->id);
                cityRow->dataCenters = dataCenters(city.data_centers);
                syncRecommendedServer(*cityRow, recommended);
                cities.append(cityRow);
            }
            row->servers = std::move(cities);
        }
        syncRecommendedServer(*row, recommended);
        rows.append(row);
    }
    return rows;
}

std::optional<QList<QuorDataFetcher::DataCenter>> QuorDataFetcher::dataCenters(const std::optional<QList<QuorDatacenters>>& from)
{
    if (!from)
        return std::nullopt;
    QList<DataCenter> centers;
    centers.reserve(from->size());
    for (const QuorDatacenters& sdk : *from) {
        DataCenter center;
        center.id = sdk.dataCenterId;
        center.latency = sdk.latency;
        center.ip = sdk.ip;
        center.hostname = sdk.hostname;
        centers.append(center);
    }
    return centers;
}

template <typename Measured>
std::function<void(const std::optional<QList<Measured>>&, const std::optional<Error>&)> QuorDataFetcher::handleMeasured(
    Servers shown, Server::Ptr recommended, ServersCompletion completion,
    Servers (QuorDataFetcher::*merge)(const QList<Measured>&, const Servers&, const Server::Ptr&))
{
    std::weak_ptr<int> alive = alive_;
    return [this, alive, shown, recommended, completion, merge](const std::optional<QList<Measured>>& measured,
                                                                 const std::optional<Error>& error) {
        MainQueue::async([this, alive, shown, recommended, completion, merge, measured, error] {
            if (alive.expired() || !completion)
                return;
            if (error || !measured) {
                completion(shown);
                return;
            }
            completion((this->*merge)(*measured, shown, recommended));
        });
    };
}

QuorManager::CountryListResponse QuorDataFetcher::handleOptimizedCountries(Servers shown, Server::Ptr recommended,
                                                                           ServersCompletion completion)
{
    return handleMeasured<QuorCountry>(std::move(shown), std::move(recommended), std::move(completion),
                                       &QuorDataFetcher::mergeOptimizedCountries);
}

QuorManager::CityListResponse QuorDataFetcher::handleFetchedCities(Servers shown, Server::Ptr recommended,
                                                                   ServersCompletion completion)
{
    return handleMeasured<QuorCity>(std::move(shown), std::move(recommended), std::move(completion),
                                    &QuorDataFetcher::mergeFetchedCities);
}

Servers QuorDataFetcher::mergeOptimizedCountries(const QList<QuorCountry>& measured, const Servers& shown,
                                                 const Server::Ptr& recommended)
{
    return mergeMeasured(measured, shown, recommended, u"Country");
}

Servers QuorDataFetcher::mergeFetchedCities(const QList<QuorCity>& measured, const Servers& shown,
                                            const Server::Ptr& recommended)
{
    return mergeMeasured(measured, shown, recommended, u"City");
}

template <typename Measured>
Servers QuorDataFetcher::mergeMeasured(const QList<Measured>& measured, const Servers& shown,
                                       const Server::Ptr& recommended, QStringView type)
{
    eventTracker.track(EventTrackerEvent::pingTime, QVariantMap{{QStringLiteral("type"), type.toString()}});
    const Servers favorites = preservedPreferences.favorites();
    const Servers recents = preservedPreferences.recents();
    Servers result;
    result.reserve(measured.size());
    for (const Measured& item : measured) {
        if (Server::Ptr row = applyPing(item, shown, favorites, recents, recommended))
            result.append(row);
    }
    if (auto last = appPreference.lastConnection(); last && last->server) {
        if (const Server::Ptr row = firstWithId(result, last->server->id)) {
            last->server->latency = row->latency;
            appPreference.setLastConnection(last);
        }
    }
    return result;
}

Server::Ptr QuorDataFetcher::applyPing(const QuorCountry& country, const Servers& shown, const Servers& favorites,
                                       const Servers& recents, const Server::Ptr& recommended)
{
    if (!country.country)
        return nullptr;
    const Server::Ptr row = firstWithId(shown, measuredId(country));
    if (!row)
        return nullptr;
    if (country.latency != 0) {
        row->latency = country.latency;
    } else {
        row->dataCenters = dataCenters(measuredCenters(country));
        trackPingFailure(*row);
    }
    copyLatencyIntoStoredCopies(row, favorites, recents, recommended);
    return row;
}

Server::Ptr QuorDataFetcher::applyPing(const QuorCity& city, const Servers& shown, const Servers& favorites,
                                       const Servers& recents, const Server::Ptr& recommended)
{
    const Server::Ptr row = firstWithId(shown, measuredId(city));
    if (!row)
        return nullptr;
    if (city.latency != 0) {
        row->latency = city.latency;
    } else {
        row->dataCenters = dataCenters(measuredCenters(city));
        trackPingFailure(*row);
    }
    copyLatencyIntoStoredCopies(row, favorites, recents, recommended);
    return row;
}

void QuorDataFetcher::copyLatencyIntoStoredCopies(const Server::Ptr& row, const Servers& favorites,
                                                  const Servers& recents, const Server::Ptr& recommended)
{
    if (const Server::Ptr favorite = firstWithId(favorites, row->id)) {
        favorite->latency = row->latency;
        replaceFavorite(favorite);
        row->favorite = true;
    } else if (const Server::Ptr recent = firstWithId(recents, row->id)) {
        recent->latency = row->latency;
        replaceRecent(recent);
    }
    if (recommended && recommended->id == row->id) {
        recommended->latency = row->latency;
        // Storing the recommended location announces it ("QuorRecommendedServerUpdated").
        appPreference.setRecommendedServer(recommended);
    }
}

void QuorDataFetcher::trackPingFailure(const Server& server)
{
    QVariantList failed;  // a list of texts; the analytics sink takes no QStringList
    for (const DataCenter& center : server.dataCenters.value_or(QList<DataCenter>{})) {
        if (center.latency == 0)
            failed.append(QString::number(center.id));
    }
    const int status = quorManager ? quorManager->getCurrentVPNStatus() : -1;
    eventTracker.track(EventTrackerEvent::failPing, QVariantMap{
        {QStringLiteral("location"), server.name},
        {QStringLiteral("data_centers"), failed},
        {QStringLiteral("connection_state"), connectionStateName(status)},
    });
}

QuorCountry QuorDataFetcher::quorCountry(const Server& from)
{
    QuorCountry country;
    country.country = from.id;
    country.name = from.name;
    if (from.dataCenters)
        country.dataCenters = sdkDataCenters(*from.dataCenters);
    return country;
}

QuorCity QuorDataFetcher::quorCity(const Server& from)
{
    QuorCity city;
    bool ok = false;
    const qint64 id = from.id.toLongLong(&ok);
    city.cityId = ok ? id : 0;
    city.name = from.name;
    city.country = from.code;
    if (from.dataCenters)
        city.data_centers = sdkDataCenters(*from.dataCenters);
    return city;
}

// --- favourites, recents, recommended location

void QuorDataFetcher::syncRecommendedServer(const Server& from, const Server::Ptr& recommended)
{
    if (!recommended || recommended->id != from.id)
        return;
    recommended->favorite = from.favorite;
    recommended->latency = from.latency;
    recommended->p2p = from.p2p;
    recommended->quantumResistant = from.quantumResistant;
    appPreference.setRecommendedServer(recommended);
}

void QuorDataFetcher::addToRecents(const Server::Ptr& server)
{
    if (!server)
        return;
    Servers recents = preservedPreferences.recents();
    recents.removeIf([&](const Server::Ptr& recent) { return !recent || recent->id == server->id; });
    if (recents.size() >= 3)
        recents.resize(2);
    recents.prepend(server);
    preservedPreferences.setRecents(recents);
}

void QuorDataFetcher::addFavorite(const Server::Ptr& server, FavoriteVia via)
{
    if (!server)
        return;
    server->favorite = true;
    Servers favorites = preservedPreferences.favorites();
    // One entry per location: a second add would show the location twice.
    if (!containsId(favorites, server->id))
        favorites.append(server);
    if (const Server::Ptr recommended = appPreference.recommendedServer(); recommended && recommended->id == server->id) {
        recommended->favorite = true;
        appPreference.setRecommendedServer(recommended);
    }
    if (const Server::Ptr pending = appPreference.serverToAddInRecent(); pending && pending->id == server->id) {
        pending->favorite = true;
        appPreference.setServerToAddInRecent(pending);
    }
    preservedPreferences.setFavorites(favorites);
    replaceRecent(server);
    postFavoritesUpdated(true, server, favorites);
    eventTracker.track(EventTrackerEvent::markFavorite, QVariantMap{
        {QStringLiteral("name"), server->name},
        {QStringLiteral("type"), toRaw(connectVia(server->type))},
        {QStringLiteral("via"), toRaw(via)},
    });
    if (auto last = appPreference.lastConnection(); last && last->server && containsId(favorites, last->server->id)) {
        last->server->favorite = true;
        appPreference.setLastConnection(last);
    }
}

void QuorDataFetcher::removeFavorite(const Server::Ptr& server)
{
    if (!server)
        return;
    server->favorite = false;
    Servers favorites = preservedPreferences.favorites();
    favorites.removeIf([&](const Server::Ptr& favorite) { return !favorite || favorite->id == server->id; });
    if (const Server::Ptr recommended = appPreference.recommendedServer(); recommended && recommended->id == server->id) {
        recommended->favorite = false;
        appPreference.setRecommendedServer(recommended);
    }
    if (const Server::Ptr pending = appPreference.serverToAddInRecent(); pending && pending->id == server->id) {
        pending->favorite = false;
        appPreference.setServerToAddInRecent(pending);
    }
    preservedPreferences.setFavorites(favorites);
    replaceRecent(server);
    postFavoritesUpdated(false, server, favorites);
    if (auto last = appPreference.lastConnection(); last && last->server && !containsId(favorites, last->server->id)) {
        last->server->favorite = false;
        appPreference.setLastConnection(last);
    }
}

void QuorDataFetcher::replaceFavorite(const Server::Ptr& server)
{
    if (!server)
        return;
    Servers favorites = preservedPreferences.favorites();
    const qsizetype index = indexOfId(favorites, server->id);
    if (index < 0)
        return;
    favorites[index] = server;
    preservedPreferences.setFavorites(favorites);
    replaceRecent(server);
    postFavoritesUpdated(false, server, favorites);
}

void QuorDataFetcher::replaceRecent(const Server::Ptr& server)
{
    if (!server)
        return;
    Servers recents = preservedPreferences.recents();
    const qsizetype index = indexOfId(recents, server->id);
    if (index < 0)
        return;
    recents[index] = server;
    preservedPreferences.setRecents(recents);
}

void QuorDataFetcher::postFavoritesUpdated(bool added, const Server::Ptr& server, const Servers& list)
{
    NotificationCenter::defaultCenter().post(favoritesUpdatedNotification, QVariantMap{
        {favoritesAddedKey, added},
        {favoritesObjectKey, QVariant::fromValue(server)},
        {favoritesListKey, QVariant::fromValue(list)},
    });
}

void QuorDataFetcher::recommendedCountry(const std::optional<QuorLocation>& from,
                                         const std::function<void(const QuorCountry&)>& completion)
{
    if (!completion)
        return;
    completion(from && from->country ? *from->country : QuorCountry{});
}

void QuorDataFetcher::logRecommendedLocationError(const std::optional<Error>& error)
{
    if (!error)
        return;
    qCWarning(lcQuorDataFetcher).noquote() << "Error in fetching recommended location: " + error->message;
}

std::shared_ptr<QuorDataFetcher> makeQuorDataFetcher()
{
    QuorManagerProtocol* manager = QuorManager::sharedInstance();
    ErrorSender sentry = makeErrorSender();
    EventTracker eventTracker = makeEventTracker();
    User user = makeUser();
    PreservedPreferences preservedPreferences = makePreservedPreferences();
    AppPreferences appPreference = makeAppPreferences();
    return std::make_shared<QuorDataFetcher>(std::move(preservedPreferences), std::move(appPreference), manager,
                                             std::move(sentry), std::move(eventTracker), std::move(user));
}

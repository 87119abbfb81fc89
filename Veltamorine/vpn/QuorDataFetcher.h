#pragma once

#include "AppPreferences.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "PreservedPreferences.h"
#include "QuorCity.h"
#include "QuorCountry.h"
#include "QuorDataFetcherDataCenter.h"
#include "QuorDataFetcherLocalJsonCountry.h"
#include "QuorDataFetcherServer.h"
#include "QuorDataFetcherServerType.h"
#include "QuorLocation.h"
#include "QuorManager.h"
#include "QuorManagerProtocol.h"
#include "RawValue.h"
#include "User.h"

#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The location lists of the application: turns the SDK's countries, cities and data centres into
// Server rows, lays the shipped overlay (ranking, peer-to-peer and quantum-resistance flags) over
// them, merges ping measurements, and keeps the user's favourites, recents and the stored copies
// of the same rows (recommended location, the row waiting for the recents, the last connection)
// in step.
//
// Holds no list of its own: every operation reads the stored list, changes it and writes it back,
// so any number of fetchers see the same data. The object lives on the main thread; every answer
// of the SDK is carried to the main thread before it touches a row or a store, and an answer that
// arrives after the fetcher is gone is dropped.
class QuorDataFetcher {
public:
    using Server = QuorDataFetcherServer;
    using ServerType = QuorDataFetcherServerType;
    using DataCenter = QuorDataFetcherDataCenter;
    using LocalJsonCountry = QuorDataFetcherLocalJsonCountry;
    using Servers = QList<Server::Ptr>;
    using Overlay = QMap<QString, LocalJsonCountry>;
    // Receives the rows of a fetch or a ping merge, on the main thread.
    using ServersCompletion = std::function<void(const Servers&)>;

    // Where a favourite was marked (sent with the analytics event).
    enum class FavoriteVia { Location, Recent, Connecting, Connected, Disconnected };

    // Posted after every change of the favourites; object: a QVariantMap with favoritesAddedKey
    // (bool), favoritesObjectKey (Server::Ptr) and favoritesListKey (Servers, after the change).
    static inline const QString favoritesUpdatedNotification = QStringLiteral("FavoritesUpdated");
    static inline const QString favoritesAddedKey = QStringLiteral("Added");
    static inline const QString favoritesObjectKey = QStringLiteral("Object");
    static inline const QString favoritesListKey = QStringLiteral("List");

    // The overlay shipped with the application.
    static inline const QString countriesResource = QStringLiteral(":/veltamorine/countries.json");

    QuorDataFetcher(PreservedPreferences preservedPreferences, AppPreferences appPreference,
                    QuorManagerProtocol* quorManager, ErrorSender sentry, EventTracker eventTracker, User user);
    virtual ~QuorDataFetcher();
    QuorDataFetcher(const QuorDataFetcher&) = delete;
    QuorDataFetcher& operator=(const QuorDataFetcher&) = delete;

    PreservedPreferences preservedPreferences;
    AppPreferences appPreference;
    QuorManagerProtocol* quorManager;  // the SDK's shared manager; not owned, may be null
    ErrorSender sentry;
    EventTracker eventTracker;
    User user;
    // Where loadLocalCountries() reads the overlay (the shipped resource unless a test sets a file).
    QString localCountriesPath = countriesResource;

    // --- location lists

    // Builds the country rows from `cached` (the SDK countries the caller read from
    // "AppPreference.countries") when both it and the stored cache are non-empty, otherwise from a
    // fresh SDK request, which also refreshes the cache. The rows are stored for the VPN user and
    // handed to `completion` on the main thread. A failed SDK request never calls `completion`.
    void fetchCountries(const QList<QuorCountry>& cached, ServersCompletion completion);
    // The two continuation steps of a fetch; main thread.
    void handleFetchedCountryList(const std::optional<QList<QuorCountry>>& received, const QString& protocolName,
                                  const ServersCompletion& completion);
    void handleFetchedCountries(const QList<QuorCountry>& countries, const ServersCompletion& completion);

    // The SDK country cache as the stores hold it ("AppPreference.countries"); empty when absent.
    QList<QuorCountry> cachedCountries() const;
    // The blocks the start-up hands to the SDK's country request: the success block writes the
    // received list (empty when none) to the cache on the main thread; the error block logs.
    static QuorManagerProtocol::CountriesBlock cacheFetchedCountries();
    static QuorManagerProtocol::ErrorBlock logCountriesFailure();

    // The overlay: country code -> entry, applied to the stored favourites and recents on the way.
    // Nothing when the file is missing or any entry does not decode.
    virtual std::optional<Overlay> loadLocalCountries();
    virtual void applyLocalCountriesToFavorites(const Overlay& overlay);
    virtual void applyLocalCountriesToRecents(const Overlay& overlay);

    // The SDK word of a protocol choice ("IPSEC", "IKEV", "TCP", "UDP", "WireGuard") and the name
    // the SDK gives it (empty when it gives none).
    static QString protocolName(PreservedPreferences::VPNProtocol protocol);
    // The countries, in order, whose protocol list holds one named exactly `protocolName`.
    static QList<QuorCountry> countries(const QList<QuorCountry>& countries, const QString& supporting);
    // Country rows with their city rows; the overlay applies to countries only.
    Servers servers(const QList<QuorCountry>& fromCountries, const Servers& favorites, const Overlay& overlay,
                    const Server::Ptr& recommended);
    static std::optional<QList<DataCenter>> dataCenters(const std::optional<QList<QuorDatacenters>>& from);

    // Ping merging. The handlers are the response blocks for the SDK's ping requests: they carry
    // the answer to the main thread and merge it into `shown` (in place); `completion` receives the
    // measured rows in the SDK's order. After a failed measurement it receives `shown` unchanged.
    QuorManager::CountryListResponse handleOptimizedCountries(Servers shown, Server::Ptr recommended,
                                                              ServersCompletion completion);
    QuorManager::CityListResponse handleFetchedCities(Servers shown, Server::Ptr recommended,
                                                      ServersCompletion completion);
    // The synchronous merges behind the handlers; main thread.
    Servers mergeOptimizedCountries(const QList<QuorCountry>& measured, const Servers& shown,
                                    const Server::Ptr& recommended);
    Servers mergeFetchedCities(const QList<QuorCity>& measured, const Servers& shown, const Server::Ptr& recommended);
    // One measurement merged into the matching shown row; the row, or null when none matches.
    Server::Ptr applyPing(const QuorCountry& country, const Servers& shown, const Servers& favorites,
                          const Servers& recents, const Server::Ptr& recommended);
    Server::Ptr applyPing(const QuorCity& city, const Servers& shown, const Servers& favorites,
                          const Servers& recents, const Server::Ptr& recommended);
    // "app_fail_ping" for a row whose measurement came back empty; the connection state is read
    // from the fetcher's SDK manager.
    virtual void trackPingFailure(const Server& server);

    // SDK objects made from rows, for the SDK's ping requests.
    static QuorCountry quorCountry(const Server& from);
    static QuorCity quorCity(const Server& from);

    // --- favourites, recents, recommended location

    // When `recommended` is the same location as `from`, copies its favourite flag, latency and
    // feature flags into it and stores it as the recommended location.
    virtual void syncRecommendedServer(const Server& from, const Server::Ptr& recommended);
    // Puts `server` at the front of the recents: one entry per location, at most three.
    virtual void addToRecents(const Server::Ptr& server);
    // Marks `server` as favourite; a location already among the favourites keeps its one entry.
    virtual void addFavorite(const Server::Ptr& server, FavoriteVia via);
    virtual void removeFavorite(const Server::Ptr& server);
    // Puts `server` in place of the favourite (recent) of the same location; nothing when none.
    virtual void replaceFavorite(const Server::Ptr& server);
    virtual void replaceRecent(const Server::Ptr& server);
    void postFavoritesUpdated(bool added, const Server::Ptr& server, const Servers& list);

    // Hands `completion` the location's country, or an empty country when there is none.
    static void recommendedCountry(const std::optional<QuorLocation>& from,
                                   const std::function<void(const QuorCountry&)>& completion);
    // The error block of the SDK's recommended-location request: logs a present error.
    static void logRecommendedLocationError(const std::optional<Error>& error);

private:
    static Server::Ptr buildCountryRow(const QuorCountry& country);
    // The response block behind both ping handlers; `merge` is the synchronous merge of its kind.
    template <typename Measured>
    std::function<void(const std::optional<QList<Measured>>&, const std::optional<Error>&)> handleMeasured(
        Servers shown, Server::Ptr recommended, ServersCompletion completion,
        Servers (QuorDataFetcher::*merge)(const QList<Measured>&, const Servers&, const Server::Ptr&));
    template <typename Measured>
    Servers mergeMeasured(const QList<Measured>& measured, const Servers& shown, const Server::Ptr& recommended,
                          QStringView type);
    void copyLatencyIntoStoredCopies(const Server::Ptr& row, const Servers& favorites, const Servers& recents,
                                     const Server::Ptr& recommended);

    // Expires with the fetcher; SDK answers that find it expired are dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

template <>
struct RawTexts<QuorDataFetcher::FavoriteVia> {
    static constexpr std::array<std::u16string_view, 5> texts{
        u"Location", u"Recent", u"Connecting", u"Connected", u"Disconnected"};
};

// A new fetcher over the SDK's shared manager and fresh facades of the process-wide stores.
std::shared_ptr<QuorDataFetcher> makeQuorDataFetcher();

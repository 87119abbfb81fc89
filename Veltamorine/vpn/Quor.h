#pragma once

#include "AppPreferences.h"
#include "DedicatedIPHost.h"
#include "Error.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "NetworkingProtocol.h"
#include "PreservedPreferences.h"
#include "QuorConnectVia.h"
#include "QuorConnectedInfo.h"
#include "QuorConnectionInfo.h"
#include "QuorConnectionInitiatedBy.h"
#include "QuorDataFetcherServer.h"
#include "QuorDataTransmission.h"
#include "QuorLocation.h"
#include "QuorConnectionDetails.h"
#include "QuorManagerProtocol.h"
#include "QuorNotificationName.h"
#include "QuorProperties.h"
#include "QuorSelectedInterface.h"
#include "QuorSelectedInterfaceScreen.h"
#include "Timer.h"
#include "User.h"

#include <QVariantMap>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QuorDataFetcher;

// The VPN engine facade that every screen, model and handler that connects, reconnects or reads
// the connection builds for itself. A thin front: all wrappers share the SDK's one manager, the
// one user-defaults domain and the one network client, so building many is cheap and harmless.
//
// Requests are made on the main thread. The SDK answers on its own thread; every answer is
// carried to the main thread before it touches a store or reaches the caller's completion, and
// each request's completion runs at most once (never after the extension notice, never for a
// target that is not found).
class Quor : public std::enable_shared_from_this<Quor> {
public:
    using ConnectionInfo = QuorConnectionInfo;
    using ConnectedInfo = QuorConnectedInfo;
    using DataTransmission = QuorDataTransmission;
    using SelectedInterface = QuorSelectedInterface;
    using ConnectVia = QuorConnectVia;
    using SelectedInterfaceScreen = QuorSelectedInterfaceScreen;
    using ConnectionInitiatedBy = QuorConnectionInitiatedBy;
    using NotificationName = QuorNotificationName;
    using Server = QuorDataFetcherServer;
    using LastConnection = AppPreferences::LastConnection;
    // Receives the refusal or failure of a request, or nothing when the SDK started it.
    using Completion = std::function<void(const std::optional<Error>&)>;

    // A count in a readable unit: 0 bytes, 1 KB, 2 MB, 3 GB, 4 TB.
    struct ByteCount {
        double value = 0;
        int unit = 0;
        bool operator==(const ByteCount&) const = default;
    };

    // What the notice shown instead of connecting says while the chosen protocol's system
    // extension is not ready.
    struct ExtensionNotice {
        QString title;
        QString message;
        QString primaryButton;
    };
    using ExtensionNoticePresenter = std::function<void(const ExtensionNotice&)>;

    // Refusals of the connect routine.
    static inline const QString networkDomain = QStringLiteral("Network");
    static inline const QString connectionDomain = QStringLiteral("Connection");
    static inline const QString userStatusDomain = QStringLiteral("UserStatus");
    // Dedicated-IP failures.
    static inline const QString veltamorineErrorDomain = QStringLiteral("VeltamorineError");
    // Failures of the SDK glue.
    static inline const QString veltamorineErrorDomainLong = QStringLiteral("VeltamorineErrorDomain");
    enum ErrorCode : int {
        noNetwork = -1000,
        disconnectFirst = -1001,
        sameServerDisconnectFirst = -1002,
        accountDisabled = 533,
        passwordChanged = 999,
        protocolNotSupported = 1111,
        hostsNotFound = 1212,
        recommendedLocationNotUpdated = 4002,
        recommendedLocationMissing = 4007,
        recommendedCityMalformed = 4008,
        recommendedCountryMalformed = 4009,
        connectedLocationMissing = 4010,
    };
    // The SDK's answers that are no failure of the request (an attempt already under way, or
    // the same server already connected).
    static constexpr int sdkConnectionInProgress = 5043;
    static constexpr int sdkAlreadyConnected = 5104;

    Quor(QuorManagerProtocol* quorManager, ErrorSender sentry, std::shared_ptr<QuorDataFetcher> quorDataFetcher, User user,
         AppPreferences appPreference, EventTracker eventTracker, PreservedPreferences preservedPreferences,
         NetworkingProtocol* networkingManager);
    virtual ~Quor();
    Quor(const Quor&) = delete;
    Quor& operator=(const Quor&) = delete;

    QuorManagerProtocol* quorManager;  // the SDK's shared manager; not owned
    ErrorSender sentry;
    std::shared_ptr<QuorDataFetcher> quorDataFetcher;
    User user;
    AppPreferences appPreference;
    EventTracker eventTracker;
    PreservedPreferences preservedPreferences;
    std::unique_ptr<Timer> timer;  // absent until a connect routine starts one
    NetworkingProtocol* networkingManager;  // the shared network client; not owned

    // --- requests

    // Connects to a location row: a country, a city or a dedicated IP (the other kinds start
    // nothing and never complete). `fallback` lets a dedicated IP fall back to IKEv2 when the
    // chosen protocol cannot serve it; `refuseWhenBusy` refuses while a connection is up or
    // coming up.
    void connect(const Server::Ptr& to, ConnectVia connectVia, SelectedInterfaceScreen screen,
                 ConnectionInitiatedBy initiatedBy, SelectedInterface selectedInterface, bool fallback,
                 bool refuseWhenBusy, Completion completion);
    // Quick connect to the stored recommended location. Without a completion a failure is
    // written to the console.
    void smartConnect(ConnectVia connectVia, SelectedInterfaceScreen screen, ConnectionInitiatedBy initiatedBy,
                      SelectedInterface selectedInterface, bool refuseWhenBusy, Completion completion = {});
    virtual void connectToCountry(const Server& server, const LastConnection& record, bool refuseWhenBusy,
                                  Completion completion);
    virtual void connectToCity(const Server& server, const LastConnection& record, bool refuseWhenBusy,
                               Completion completion);
    // One request naming every dedicated host, the host of the chosen protocol first.
    void connectToDedicatedIP(const QList<DedicatedIPHost>& hosts, const LastConnection& record, bool fallback,
                              bool refuseWhenBusy, Completion completion);
    // The protocol of a dedicated-IP connection; none when the chosen one cannot serve it.
    virtual std::optional<QuorProtocol> quorProtocol(bool forFallback) const;
    // Starts a new connection id and asks the SDK to dial the last connection again.
    virtual void reconnect();
    virtual void pingDedicatedIPServer(Completion completion);
    virtual void reportConnectFailure(const Error& error, ConnectVia kind, const QuorProperties& properties);
    virtual void reportRecommendedLocationFailure(const std::optional<Error>& error);

    // --- the connect routine

    // Protocol, fall-backs and server filters of a country or city request.
    QuorProperties buildConnectProperties(QuorProperties properties, const std::optional<LastConnection>& record) const;
    // The pre-connect checks, the bookkeeping of the connection id and the last connection, and
    // the SDK call. Every outcome reaches `completion` once, except the extension notice.
    void performConnect(QuorProperties properties, ConnectVia connectVia, const std::optional<LastConnection>& record,
                        bool refuseWhenBusy, Completion completion);
    // The SDK's connect error, on the main thread.
    void handleConnectError(const std::optional<Error>& error, const std::optional<QString>& previousId,
                            const std::optional<LastConnection>& record,
                            const std::optional<LastConnection>& previousRecord, ConnectVia connectVia,
                            const QuorProperties& properties, const Completion& completion);
    // The SDK started the attempt, on the main thread: "app_connect", then the completion.
    void handleConnectCompletion(const QuorProperties& properties, const Completion& completion);
    // The properties of "app_connect".
    QVariantMap connectAnalytics(const QuorProperties& properties) const;
    virtual void showExtensionRequiredNotice();
    // Per country, the first of its cities whose id written in decimal is the row's id.
    static QList<QuorCity> matchingCities(const QList<QuorCountry>& countries, const Server& server);
    // The row with the hosts of a dedicated-IP request in the order sent to the SDK.
    static QList<QuorMultipleDNS> orderedDedicatedHosts(const QList<DedicatedIPHost>& hosts,
                                                        const std::optional<QuorProtocol>& chosen);

    // --- connection details and locations (main thread)

    // A snapshot of the current connection for the interface.
    virtual ConnectionInfo connectionDetails() const;
    // "City, country code" when the details name a city, else the country, else empty.
    static QString locationDisplayName(const QuorConnectionDetails& details);
    // The SDK's recommended location becomes the stored recommended row behind quick connect;
    // a malformed answer clears it and is reported (4007 to 4009).
    void handleRecommendedLocation(const std::optional<QuorLocation>& location);
    void handleRecommendedLocationError(const std::optional<Error>& error);
    using ConnectedServerCompletion = std::function<void(std::expected<ConnectedInfo, Error>)>;
    // The SDK's connected location corrects the stored last connection and gives the name,
    // country code and address the dashboard shows.
    void connectedServer(const std::optional<QuorLocation>& location, const ConnectedServerCompletion& completion);
    void connectedLocationFailed(const std::optional<Error>& error, const ConnectedServerCompletion& completion);
    QString connectedLocationName(const QuorLocation& location);
    std::optional<QString> connectedIsoCode(const QuorLocation& location) const;
    // The given error, or "QuorSDK failed to fetch connected location." (4010).
    static Error connectedLocationError(const std::optional<Error>& error);

    // --- shared operations

    std::optional<QString> lastConnectionServerCode() const;
    static std::pair<ByteCount, ByteCount> splitByteCounts(quint64 first, quint64 second);
    // `adding` laid over `to`: a key in both takes the value of `adding`.
    static QVariantMap mergeAnalytics(const QVariantMap& adding, QVariantMap to);
    // "Automatic" under automatic protocol choice, else the SDK word of the chosen protocol.
    static QString selectedProtocolName(const PreservedPreferences& preferences);
    // The connect routine's id of a new connection: seconds since 1 January 2001 on the main
    // scheduler's clock, in the shortest decimal text that reads back as the same number.
    static QString newConnectionId();

    // Where the extension notice goes; by default a window-modal message box on the
    // application's first window (nothing without a window).
    static void setExtensionNoticePresenter(ExtensionNoticePresenter presenter);

private:
    bool networkUnreachable() const;

    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// A new wrapper over the SDK's shared manager, fresh facades of the process-wide stores and
// the shared network client.
std::shared_ptr<Quor> makeQuor();

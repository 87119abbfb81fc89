#pragma once

#include "AuthProtocol.h"
#include "DataResponse.h"
#include "EventTrackerEvent.h"
#include "HttpSession.h"
#include "NetworkingProtocol.h"
#include "Reachability.h"

#include <QSet>
#include <QUrl>
#include <memory>

// The backend client: turns an endpoint into an HTTPS request with device parameters and a
// bearer token, decodes the reply into the caller's model, maps failures into one error
// vocabulary and reports them, fails over to another gateway domain when the server seems
// down, downloads update packages and announces reachability changes.
//
// One shared instance serves the application; tests make their own, always with
// std::make_shared (a request keeps its networking object alive until its reply). Requests
// may start on any thread; replies, completions, downloads and reachability run on the main
// thread.
class Networking : public NetworkingProtocol, public std::enable_shared_from_this<Networking> {
public:
    // Everything a request needs to be sent again, to another domain.
    struct RequestContext {
        QUrl url;
        Endpoint endpoint = Endpoint::Login;
        HttpMethod method = HttpMethod::Get;
        std::optional<QVariantMap> requestParameters;  // POST: the merged body; GET: none
        std::optional<QVariantMap> callerParameters;   // as the caller passed them
        std::optional<HeaderDictionary> headers;
        AnyDecoder decoder;
        AnyCompletion completion;
    };

    using ErrorReporter = std::function<void(const Error& error, const std::optional<QVariantMap>& extras)>;
    using EventRecorder = std::function<void(EventTrackerEvent event, const QVariantMap& properties)>;
    using VPNStatusReader = std::function<std::optional<int>()>;

    static inline const QString reachabilityChangedNotification = QStringLiteral("NetworkReachabilityChangedNotification");
    // The VPN status value of an established connection.
    static constexpr int vpnStatusConnected = 3;

    // Requests go through `session` (the shared HTTP session when null).
    explicit Networking(std::unique_ptr<Reachability> reachability = nullptr, HttpSession* session = nullptr);
    ~Networking() override;

    // The shared instance, made on first use with the system's reachability.
    static Networking& shared();

    // Downloads in flight, by identifier.
    QSet<QString> downloadRequests;
    // Source of reachability changes; null when the platform offers none.
    std::unique_ptr<Reachability> reachablityManager;
    // While true, the next "reachable" report is swallowed (the one every start brings).
    bool digestReachabilityListener = true;
    // The account's OAuth service (bound by the sign-in subsystem).
    std::shared_ptr<AuthProtocol> auth;

    // Collaborators bound by the composition; tests put recorders in their place.
    ErrorReporter sendError;     // default: an error sender on the current reporting hub
    EventRecorder trackEvent;    // default: an event tracker on the main analytics instance
    VPNStatusReader currentVPNStatus;  // bound by the VPN layer; none counts as not connected

    // --- requests
    void send(HttpMethod method, Endpoint endpoint, const std::optional<QVariantMap>& parameters,
              const std::optional<HeaderDictionary>& headers, AnyDecoder decoder, AnyCompletion completion) override;
    // Sends one prepared request (also the re-send of a fail-over).
    void performRequest(RequestContext context);
    // https://<host of the endpoint>/Veltamorine<path> with `query` as its query items; none
    // when the host is not configured.
    static std::optional<QUrl> buildURL(Endpoint endpoint, const std::optional<QMap<QString, QString>>& query);

    // --- replies
    void requestCompletion(const RequestContext& context, const DataResponse& response);
    std::expected<std::any, Error> handleResponse(Host host, const DataResponse& response, const AnyDecoder& decoder);

    // --- error mapping
    static QString userMessage(int code);
    static Error wrapError(const Error& error);
    // The innermost error below the HTTP layer's own errors.
    static const Error& rootError(const Error& error);
    Error reportRequestFailure(const DataResponse& response);
    Error reportDecodingFailure(const Error& error, const QString& url);

    // --- downloads
    QString download(Endpoint endpoint, DownloadProgressHandler progress, DownloadCompletion completion) override;
    // Seconds still to go after `elapsedSeconds` with `fraction` (0 to 1) done; none at 0.
    static std::optional<double> remainingTimeEstimate(double fraction, double elapsedSeconds);
    // Where downloads are stored, and the name used when the server offers no safe one.
    static QString downloadDirectory();
    static inline const QString defaultDownloadFileName = QStringLiteral("Veltamorine.pkg");

    // --- reachability
    // Starts listening to reachablityManager on the main thread; false when there is none.
    bool startReachabilityListening();
    void reachabilityStatusChanged(Reachability::Status status);

    // --- device parameters
    static QVariantMap deviceParameters();
    static QString deviceId();
    static QString deviceModel();

private:
    HttpSession& session() const;
    void sendGet(Endpoint endpoint, const std::optional<QVariantMap>& parameters,
                 const std::optional<HeaderDictionary>& headers, AnyDecoder decoder, AnyCompletion completion);
    void sendPost(Endpoint endpoint, const std::optional<QVariantMap>& parameters,
                  const std::optional<HeaderDictionary>& headers, AnyDecoder decoder, AnyCompletion completion);
    void failBeforeSending(RequestContext context, const Error& error);
    void recordResponseTime(Endpoint endpoint, const DataResponse& response);

    HttpSession* session_ = nullptr;
};

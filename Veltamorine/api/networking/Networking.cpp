#include "Networking.h"

#include "AccessTokenInterceptor.h"
#include "ApiError.h"
#include "ApiLog.h"
#include "AppPreferences.h"
#include "BackendHosts.h"
#include "Bundle.h"
#include "DeviceInfo.h"
#include "DomainFronting.h"
#include "Factories.h"
#include "HttpError.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "PreservedPreferences.h"
#include "Scheduler.h"
#include "SecretRedaction.h"
#include "SystemReachability.h"
#include "User.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QUrlQuery>
#include <QUuid>
#include <cmath>
#include <mutex>

namespace {

const QString versionCheckPathPart = QStringLiteral("app/latest/version");
const QString pathPrefix = QStringLiteral("/Veltamorine");
const QString referAFriendPlaceholder = QStringLiteral("customer_id");

void reportToCurrentHub(const Error& error, const std::optional<QVariantMap>& extras)
{
    makeErrorSender().send(error, extras);
}

void trackOnMainInstance(EventTrackerEvent event, const QVariantMap& properties)
{
    makeEventTracker().track(event, properties);
}

std::optional<QMap<QString, QString>> textValues(const QVariantMap& parameters)
{
    QMap<QString, QString> texts;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        if (it.value().typeId() != QMetaType::QString)
            return std::nullopt;
        texts.insert(it.key(), it.value().toString());
    }
    return texts;
}

QVariantMap mergedParameters(Endpoint endpoint, const std::optional<QVariantMap>& parameters)
{
    QVariantMap merged = sendsDeviceParameters(endpoint) ? Networking::deviceParameters() : QVariantMap();
    if (parameters) {
        for (auto it = parameters->cbegin(); it != parameters->cend(); ++it)
            merged.insert(it.key(), it.value());
    }
    return merged;
}

// "Response of <second-to-last path component>": which call a reply belongs to.
QString replyName(const DataResponse& response)
{
    if (!response.request)
        return QStringLiteral("(none)");
    const QStringList parts = response.request->url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.size() >= 2 ? parts.at(parts.size() - 2) : QString();
}

}

Networking::Networking(std::unique_ptr<Reachability> reachability, HttpSession* session)
    : reachablityManager(std::move(reachability))
    , auth(AuthProtocol::shared())
    , sendError(reportToCurrentHub)
    , trackEvent(trackOnMainInstance)
    , session_(session)
{
}

Networking::~Networking() = default;

Networking& Networking::shared()
{
    static std::shared_ptr<Networking> instance = [] {
        return std::make_shared<Networking>(SystemReachability::create());
    }();
    return *instance;
}

HttpSession& Networking::session() const
{
    return session_ ? *session_ : HttpSession::shared();
}

// --- requests

void Networking::send(HttpMethod method, Endpoint endpoint, const std::optional<QVariantMap>& parameters,
    const std::optional<HeaderDictionary>& headers, AnyDecoder decoder, AnyCompletion completion)
{
    if (method == HttpMethod::Post)
        sendPost(endpoint, parameters, headers, std::move(decoder), std::move(completion));
    else
        sendGet(endpoint, parameters, headers, std::move(decoder), std::move(completion));
}

void Networking::sendGet(Endpoint endpoint, const std::optional<QVariantMap>& parameters,
    const std::optional<HeaderDictionary>& headers, AnyDecoder decoder, AnyCompletion completion)
{
    // Query values must all be text; one that is not drops the whole query, device
    // parameters included, and the request still goes out.
    const std::optional<QMap<QString, QString>> query = textValues(mergedParameters(endpoint, parameters));
    std::optional<QUrl> url = buildURL(endpoint, query);
    qCDebug(lcApi) << "GET" << toRaw(endpoint);
    // The version check goes to the gateway bare: no prefix, no parameters.
    if (toRaw(endpoint).contains(versionCheckPathPart))
        url = BackendHosts::httpsUrl(BackendHosts::forEndpoint(endpoint), toRaw(endpoint));

    RequestContext context{url.value_or(QUrl()), endpoint, HttpMethod::Get, std::nullopt, parameters, headers,
        std::move(decoder), std::move(completion)};
    if (!url) {
        failBeforeSending(std::move(context), HttpError::invalidUrl(QUrl()));
        return;
    }
    performRequest(std::move(context));
}

void Networking::sendPost(Endpoint endpoint, const std::optional<QVariantMap>& parameters,
    const std::optional<HeaderDictionary>& headers, AnyDecoder decoder, AnyCompletion completion)
{
    const std::optional<QUrl> url = buildURL(endpoint, std::nullopt);
    qCDebug(lcApi) << "POST" << toRaw(endpoint);
    RequestContext context{url.value_or(QUrl()), endpoint, HttpMethod::Post, mergedParameters(endpoint, parameters),
        parameters, headers, std::move(decoder), std::move(completion)};
    if (!url) {
        failBeforeSending(std::move(context), HttpError::invalidUrl(QUrl()));
        return;
    }
    performRequest(std::move(context));
}

std::optional<QUrl> Networking::buildURL(Endpoint endpoint, const std::optional<QMap<QString, QString>>& query)
{
    const QString raw = toRaw(endpoint);
    QString path = raw == toRaw(Endpoint::authToken) ? raw : pathPrefix + raw;
    if (endpoint == Endpoint::ReferAFriend)
        path.replace(referAFriendPlaceholder, QString::number(User().clientId()));
    std::optional<QUrl> url = BackendHosts::httpsUrl(BackendHosts::forEndpoint(endpoint), path);
    if (!url) {
        qCWarning(lcApi) << "no host configured for" << caseName(endpoint);
        return std::nullopt;
    }
    if (query) {
        QUrlQuery items;
        for (auto it = query->cbegin(); it != query->cend(); ++it)
            items.addQueryItem(QString::fromLatin1(QUrl::toPercentEncoding(it.key())),
                               QString::fromLatin1(QUrl::toPercentEncoding(it.value())));
        url->setQuery(items.query(QUrl::FullyEncoded), QUrl::StrictMode);
    }
    return url;
}

void Networking::performRequest(RequestContext context)
{
    const HttpHeaders headers = context.headers ? HttpHeaders::fromMap(*context.headers) : HttpHeaders();
    // The sign-in subsystem may bind its OAuth service after this object was made.
    const std::shared_ptr<AuthProtocol> service = auth ? auth : AuthProtocol::shared();
    auto interceptor = std::make_shared<AccessTokenInterceptor>(tokenScope(context.endpoint), AppPreferences(), User(),
        service ? service->oauth() : nullptr);
    auto request = HttpRequest::make(context.method, context.url, context.requestParameters, ParameterEncoding::Json, headers);
    if (!request) {
        failBeforeSending(std::move(context), request.error());
        return;
    }
    auto self = shared_from_this();
    session().request(std::move(*request), HttpSession::DataOptions{interceptor, true},
        [self, context](const DataResponse& response) { self->requestCompletion(context, response); });
}

void Networking::failBeforeSending(RequestContext context, const Error& error)
{
    DataResponse response{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::unexpected(error), 0};
    MainQueue::async([self = shared_from_this(), context = std::move(context), response] {
        self->requestCompletion(context, response);
    });
}

// --- replies

void Networking::requestCompletion(const RequestContext& context, const DataResponse& response)
{
    std::expected<std::any, Error> result = handleResponse(host(context.endpoint), response, context.decoder);
    if (!result) {
        const int status = response.response ? response.response->statusCode : 0;
        const bool serverSide = !response.response || (status != 200 && status != 400 && status != 401);
        const std::shared_ptr<BaseURL> domains = serverSide ? DomainFronting::shared().domainData : nullptr;
        if (domains && response.request) {
            AppPreferences preferences;
            if (std::optional<QUrl> next = domains->next(context.url, preferences)) {
                RequestContext again = context;
                again.url = *next;
                qCInfo(lcApi) << "sending" << caseName(context.endpoint) << "to the next domain";
                performRequest(std::move(again));
                return;
            }
        }
    }
    if (context.completion)
        context.completion(std::move(result));
    recordResponseTime(context.endpoint, response);
}

void Networking::recordResponseTime(Endpoint endpoint, const DataResponse& response)
{
    if (!trackEvent)
        return;
    const QString fixedHost = host(endpoint) == Host::S3 ? BackendHosts::storageBucket()
        : host(endpoint) == Host::RemoteConfiguration  ? BackendHosts::cdn()
                                                       : BackendHosts::apiGateway();
    const double milliseconds = response.metrics ? response.metrics->duration() * 1000.0 : 0.0;
    trackEvent(EventTrackerEvent::apiResponseTime, QVariantMap{
        {QStringLiteral("host"), fixedHost},
        {QStringLiteral("path"), toRaw(endpoint)},
        {QStringLiteral("response_time"), milliseconds},
    });
}

// A reply of an endpoint decoded bare that did not give the caller's model but carries the
// server's refusal in an envelope: the same refusal a gateway endpoint gives, neither wrapped
// nor reported. A 401 stays the token's matter and keeps its wrapped form.
static std::optional<Error> bareEnvelopeRefusal(Host host, const DataResponse& response)
{
    if (host == Host::DialerGateway || !response.response || response.response->statusCode == 401 || !response.data)
        return std::nullopt;
    return ReplyDecoding::envelopeRefusal(*response.data);
}

std::expected<std::any, Error> Networking::handleResponse(Host host, const DataResponse& response, const AnyDecoder& decoder)
{
    if (response.error()) {
        // A 400 carries the server's refusal in its envelope: decode it like a success.
        if (!response.response || response.response->statusCode != 400) {
            if (std::optional<Error> refusal = bareEnvelopeRefusal(host, response))
                return std::unexpected(*refusal);
            return std::unexpected(reportRequestFailure(response));
        }
    }
    const QByteArray body = response.data.value_or(QByteArray());
    // Never the body itself: replies hold tokens and the encrypted VPN password.
    qCDebug(lcApi).noquote() << "Response of" << replyName(response) << ":"
                             << (response.response ? response.response->statusCode : 0) << body.size() << "bytes";
    DecodeResult<std::any> decoded = decoder ? decoder(body, host)
                                             : DecodeResult<std::any>(std::unexpected(DecodingError::make(QStringLiteral("no decoder"))));
    if (!decoded) {
        if (std::optional<Error> refusal = bareEnvelopeRefusal(host, response))
            return std::unexpected(*refusal);
        const QString url = response.request ? response.request->url.toString(QUrl::FullyEncoded) : QString();
        return std::unexpected(reportDecodingFailure(decoded.error(), url));
    }
    return std::move(*decoded);
}

// --- error mapping

QString Networking::userMessage(int code)
{
    return ApiError::userMessage(code);
}

Error Networking::wrapError(const Error& error)
{
    return ApiError::wrap(error);
}

const Error& Networking::rootError(const Error& error)
{
    const Error* current = &error;
    while (current->domain == HttpError::domain && current->underlying)
        current = current->underlying.get();
    return *current;
}

Error Networking::reportRequestFailure(const DataResponse& response)
{
    std::optional<QVariantMap> extras;
    if (response.request && !response.request->body.isEmpty()) {
        const QJsonDocument body = QJsonDocument::fromJson(response.request->body);
        if (body.isObject())
            extras = SecretRedaction::redacted(body.object().toVariantMap());
    }
    const Error* failure = response.error();
    const Error wrapped = wrapError(rootError(failure ? *failure : Error(HttpError::domain, 0)));
    qCInfo(lcApi) << "request failed:" << (response.request ? response.request->url.path() : QString())
                  << (response.response ? response.response->statusCode : 0) << wrapped.code;
    if (sendError)
        sendError(wrapped, extras);
    return wrapped;
}

Error Networking::reportDecodingFailure(const Error& error, const QString& url)
{
    const Error wrapped = wrapError(error);
    qCInfo(lcApi) << "reply did not decode:" << QUrl(url).path() << wrapped.code;
    if (sendError)
        sendError(wrapped, QVariantMap{{QStringLiteral("url"), url}});
    return wrapped;
}

// --- downloads

QString Networking::downloadDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

std::optional<double> Networking::remainingTimeEstimate(double fraction, double elapsedSeconds)
{
    if (!(fraction > 0.0) || !std::isfinite(elapsedSeconds))
        return std::nullopt;
    return std::ceil(elapsedSeconds * (1.0 - std::min(fraction, 1.0)) / fraction);
}

QString Networking::download(Endpoint endpoint, DownloadProgressHandler progress, DownloadCompletion completion)
{
    const QDateTime start = Scheduler::main().now();
    const std::optional<QUrl> url = BackendHosts::httpsUrl(BackendHosts::download(), toRaw(endpoint));
    auto request = HttpRequest::make(HttpMethod::Get, url.value_or(QUrl()));
    auto self = shared_from_this();
    auto finished = std::make_shared<bool>(false);

    HttpSession::DownloadOptions options;
    options.directory = downloadDirectory();
    options.fallbackFileName = defaultDownloadFileName;
    options.progress = [progress, start](const DownloadProgress& report) {
        if (!progress)
            return;
        const double elapsed = start.msecsTo(Scheduler::main().now()) / 1000.0;
        progress(report, remainingTimeEstimate(report.fractionCompleted(), elapsed));
    };
    auto id = std::make_shared<QString>();
    auto onDone = [self, id, finished, completion](std::expected<QString, Error> result) {
        *finished = true;
        self->downloadRequests.remove(*id);
        if (!completion)
            return;
        if (!result) {
            completion(std::unexpected(result.error()));
            return;
        }
        if (result->isEmpty()) {
            completion(std::unexpected(ApiError::unknown()));
            return;
        }
        completion(*result);
    };
    if (!request) {
        *id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        MainQueue::async([onDone, error = request.error()] { onDone(std::unexpected(error)); });
        downloadRequests.insert(*id);
        return *id;
    }
    *id = session().download(std::move(*request), std::move(options),
        [onDone](const DownloadResponse& response) { onDone(response.result); });
    if (!*finished)
        downloadRequests.insert(*id);
    return *id;
}

// --- reachability

bool Networking::startReachabilityListening()
{
    if (!reachablityManager)
        return false;
    std::weak_ptr<Networking> weak = weak_from_this();
    return reachablityManager->startListening([weak](Reachability::Status status) {
        if (auto self = weak.lock())
            self->reachabilityStatusChanged(status);
    });
}

void Networking::reachabilityStatusChanged(Reachability::Status status)
{
    const auto post = [](bool reachable) {
        NotificationCenter::defaultCenter().post(reachabilityChangedNotification,
            QVariantMap{{QStringLiteral("reachable"), reachable}});
    };
    switch (status) {
    case Reachability::Status::ReachableEthernetOrWiFi:
    case Reachability::Status::ReachableCellular:
        if (digestReachabilityListener) {
            digestReachabilityListener = false;
            return;
        }
        if (currentVPNStatus) {
            const std::optional<int> vpnStatus = currentVPNStatus();
            if (vpnStatus && *vpnStatus == vpnStatusConnected)
                return;
        }
        post(true);
        return;
    case Reachability::Status::NotReachable:
    case Reachability::Status::Unknown:
        post(false);
        return;
    }
}

// --- device parameters

QVariantMap Networking::deviceParameters()
{
    return QVariantMap{
        {QStringLiteral("device_type"), QStringLiteral("mac")},
        {QStringLiteral("device_id"), deviceId()},
        {QStringLiteral("app_version"), Bundle::main().shortVersion()},
        {QStringLiteral("release_type"), QStringLiteral("beta")},
        {QStringLiteral("device_model"), deviceModel()},
        {QStringLiteral("locale"), AppPreferences().preferredLanguageCode()},
    };
}

QString Networking::deviceId()
{
    return DeviceInfo::deviceId();
}

QString Networking::deviceModel()
{
    return DeviceInfo::deviceModel();
}

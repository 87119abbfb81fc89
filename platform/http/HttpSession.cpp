#include "HttpSession.h"

#include "Bundle.h"
#include "DownloadFileName.h"
#include "HttpError.h"
#include "HttpLog.h"
#include "MainQueue.h"
#include "NetworkError.h"
#include "Reachability.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QThread>
#include <QUuid>

namespace {

HttpSession* installedShared = nullptr;

QString describe(const HttpRequest& request)
{
    return QString::fromLatin1(toRaw(request.method)) + u' '
        + request.url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo | QUrl::RemoveFragment);
}

// Qt reports HTTP statuses 4xx/5xx as errors too (400 as an invalid protocol operation);
// only these mean that the transfer itself broke after a status arrived.
bool isTransportError(QNetworkReply::NetworkError error)
{
    const int value = int(error);
    return (value > 0 && value < 200) || error == QNetworkReply::ProtocolUnknownError
        || error == QNetworkReply::ProtocolFailure;
}

bool isOfflineLike(int code)
{
    return code == NetworkError::CannotFindHost || code == NetworkError::CannotConnectToHost
        || code == NetworkError::NetworkConnectionLost || code == NetworkError::TimedOut;
}

}

struct HttpSession::Task {
    QString id;
    HttpRequest original;
    std::shared_ptr<RequestInterceptor> interceptor;
    bool validate = true;
    bool isDownload = false;
    DataCompletion dataCompletion;
    DownloadCompletion downloadCompletion;
    DownloadOptions download;

    int attempt = 0;
    int retryCount = 0;
    bool cancelled = false;
    bool finished = false;
    bool writeRefused = false;
    qint64 written = 0;

    // The current attempt.
    std::optional<HttpRequest> sent;
    std::optional<HttpResponse> response;
    std::optional<QByteArray> data;
    std::optional<HttpMetrics> metrics;
    QPointer<QNetworkReply> reply;
    QList<QSslError> sslErrors;
    std::unique_ptr<QSaveFile> file;
    std::optional<Error> fileError;
};

struct HttpSession::Private : std::enable_shared_from_this<HttpSession::Private> {
    HttpSessionConfiguration configuration;
    QSslConfiguration ssl;
    QPointer<QNetworkAccessManager> manager;
    QHash<QString, std::shared_ptr<Task>> tasks;

    void start(const std::shared_ptr<Task>& task);
    void begin(const std::shared_ptr<Task>& task);
    void onAdapted(const std::shared_ptr<Task>& task, int attempt, std::expected<HttpRequest, Error> adapted);
    void send(const std::shared_ptr<Task>& task, const HttpRequest& request);
    void onReadyRead(const std::shared_ptr<Task>& task, QNetworkReply* reply);
    void onFinished(const std::shared_ptr<Task>& task, QNetworkReply* reply);
    std::optional<Error> failureOf(const std::shared_ptr<Task>& task, QNetworkReply* reply);
    void askRetry(const std::shared_ptr<Task>& task, const Error& error);
    void onRetryAnswer(const std::shared_ptr<Task>& task, int attempt, const Error& error, const RetryResult& answer);
    void finish(const std::shared_ptr<Task>& task, std::optional<Error> error);
    void cancel(const QString& id);
    void resetAttempt(Task& task);
    bool openFile(Task& task, const QByteArray& contentDisposition, const QUrl& url);
};

HttpSession::HttpSession(HttpSessionConfiguration configuration)
    : d(std::make_shared<Private>())
{
    d->configuration = std::move(configuration);
    d->ssl = QSslConfiguration::defaultConfiguration();
    d->ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
    for (const QString& path : d->configuration.extraCaCertificatePaths) {
        if (!d->ssl.addCaCertificates(path, QSsl::Pem))
            qCWarning(lcHttp) << "no certificate could be read from" << path;
    }
    d->manager = new QNetworkAccessManager;
    if (auto* app = QCoreApplication::instance(); app && d->manager->thread() != app->thread())
        d->manager->moveToThread(app->thread());
}

HttpSession::~HttpSession()
{
    const auto tasks = d->tasks;
    for (const auto& task : tasks) {
        task->cancelled = true;
        if (task->reply) {
            task->reply->disconnect();
            task->reply->abort();
            task->reply->deleteLater();
        }
        d->finish(task, HttpError::explicitlyCancelled());
    }
    if (d->manager) {
        // Deleting the manager closes its idle connections at once.
        if (MainQueue::isMainThread())
            delete d->manager;
        else
            d->manager->deleteLater();
    }
}

HttpSession& HttpSession::shared()
{
    if (installedShared)
        return *installedShared;
    // Built once and kept for the life of the process.
    static HttpSession* session = new HttpSession(HttpSessionConfiguration::fromBundle(Bundle::main()));
    return *session;
}

void HttpSession::setShared(HttpSession* session)
{
    installedShared = session;
}

const HttpSessionConfiguration& HttpSession::configuration() const
{
    return d->configuration;
}

QString HttpSession::request(HttpRequest request, DataOptions options, DataCompletion completion)
{
    auto task = std::make_shared<Task>();
    task->id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    task->original = std::move(request);
    task->interceptor = std::move(options.interceptor);
    task->validate = options.validate;
    task->dataCompletion = std::move(completion);
    MainQueue::asyncIfNeeded([weak = d->weak_from_this(), task] {
        if (auto d = weak.lock())
            d->start(task);
        else if (task->dataCompletion)
            task->dataCompletion(DataResponse{{}, {}, {}, {}, std::unexpected(HttpError::explicitlyCancelled()), 0});
    });
    return task->id;
}

QString HttpSession::download(HttpRequest request, DownloadOptions options, DownloadCompletion completion)
{
    auto task = std::make_shared<Task>();
    task->id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    task->original = std::move(request);
    task->interceptor = options.interceptor;
    task->validate = options.validate;
    task->isDownload = true;
    task->download = std::move(options);
    task->downloadCompletion = std::move(completion);
    MainQueue::asyncIfNeeded([weak = d->weak_from_this(), task] {
        if (auto d = weak.lock())
            d->start(task);
        else if (task->downloadCompletion)
            task->downloadCompletion(DownloadResponse{{}, {}, {}, std::unexpected(HttpError::explicitlyCancelled())});
    });
    return task->id;
}

void HttpSession::cancel(const QString& id)
{
    MainQueue::asyncIfNeeded([weak = d->weak_from_this(), id] {
        if (auto d = weak.lock())
            d->cancel(id);
    });
}

void HttpSession::Private::start(const std::shared_ptr<Task>& task)
{
    tasks.insert(task->id, task);
    begin(task);
}

void HttpSession::Private::resetAttempt(Task& task)
{
    task.sent.reset();
    task.response.reset();
    task.data.reset();
    task.metrics.reset();
    task.sslErrors.clear();
    task.file.reset();  // an unfinished file is discarded
    task.fileError.reset();
    task.writeRefused = false;
    task.written = 0;
}

void HttpSession::Private::begin(const std::shared_ptr<Task>& task)
{
    resetAttempt(*task);
    const int attempt = ++task->attempt;
    if (!task->interceptor) {
        send(task, task->original);
        return;
    }
    // The interceptor may answer at once or later, on any thread; only the first answer for
    // this attempt counts.
    auto answered = std::make_shared<std::atomic_bool>(false);
    task->interceptor->adapt(task->original,
        [weak = weak_from_this(), task, attempt, answered](std::expected<HttpRequest, Error> adapted) {
            if (answered->exchange(true))
                return;
            MainQueue::asyncIfNeeded([weak, task, attempt, adapted = std::move(adapted)]() mutable {
                if (auto d = weak.lock())
                    d->onAdapted(task, attempt, std::move(adapted));
            });
        });
}

void HttpSession::Private::onAdapted(const std::shared_ptr<Task>& task, int attempt, std::expected<HttpRequest, Error> adapted)
{
    if (task->finished || task->attempt != attempt)
        return;
    if (!adapted) {
        askRetry(task, HttpError::requestAdaptationFailed(adapted.error()));
        return;
    }
    send(task, *adapted);
}

void HttpSession::Private::send(const std::shared_ptr<Task>& task, const HttpRequest& request)
{
    task->sent = request;
    if (!manager) {
        askRetry(task, HttpError::sessionTaskFailed(NetworkError::make(NetworkError::Cancelled)));
        return;
    }
    if (!request.url.isValid() || request.url.isRelative()) {
        askRetry(task, HttpError::invalidUrl(request.url));
        return;
    }
    QNetworkRequest qrequest(request.url);
    for (const auto& [name, value] : request.headers.fields())
        qrequest.setRawHeader(name, value);
    qrequest.setTransferTimeout(configuration.timeoutMs);
    qrequest.setSslConfiguration(ssl);
    qrequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    task->metrics = HttpMetrics{QDateTime::currentDateTimeUtc(), {}};
    QNetworkReply* reply = nullptr;
    switch (request.method) {
    case HttpMethod::Get:
        reply = request.body.isEmpty() ? manager->get(qrequest) : manager->sendCustomRequest(qrequest, "GET", request.body);
        break;
    case HttpMethod::Head:
        reply = manager->head(qrequest);
        break;
    default:
        reply = manager->sendCustomRequest(qrequest, toRaw(request.method), request.body);
        break;
    }
    task->reply = reply;
    qCDebug(lcHttp) << "sending" << describe(request);

    const int attempt = task->attempt;
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [task](const QList<QSslError>& errors) {
        task->sslErrors.append(errors);
    });
    if (task->isDownload) {
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, task, attempt, reply] {
            if (task->attempt == attempt && !task->finished && task->reply == reply)
                onReadyRead(task, reply);
        });
    }
    QObject::connect(reply, &QNetworkReply::finished, reply, [weak = weak_from_this(), task, reply] {
        reply->deleteLater();
        if (auto d = weak.lock())
            d->onFinished(task, reply);
    });
}

bool HttpSession::Private::openFile(Task& task, const QByteArray& contentDisposition, const QUrl& url)
{
    const QString name = DownloadFileName::sanitized(
        DownloadFileName::suggested(contentDisposition, url), task.download.fallbackFileName);
    if (name.isEmpty() || !QDir().mkpath(task.download.directory)) {
        task.fileError = NetworkError::make(NetworkError::CannotCreateFile);
        return false;
    }
    task.file = std::make_unique<QSaveFile>(QDir(task.download.directory).filePath(name));
    if (!task.file->open(QIODevice::WriteOnly)) {
        task.fileError = NetworkError::make(NetworkError::CannotCreateFile, {{QStringLiteral("path"), task.file->fileName()}});
        task.file.reset();
        return false;
    }
    return true;
}

void HttpSession::Private::onReadyRead(const std::shared_ptr<Task>& task, QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (task->validate && (status < 200 || status > 299))
        task->writeRefused = true;
    if (task->writeRefused || task->fileError) {
        reply->readAll();  // a refused reply's body is not stored
        return;
    }
    if (!task->file && !openFile(*task, reply->rawHeader("Content-Disposition"), reply->url())) {
        reply->abort();
        return;
    }
    const QByteArray chunk = reply->readAll();
    if (chunk.isEmpty())
        return;
    if (task->file->write(chunk) != chunk.size()) {
        task->fileError = NetworkError::make(NetworkError::CannotWriteToFile, {{QStringLiteral("path"), task->file->fileName()}});
        reply->abort();
        return;
    }
    // Reported from what reached the file (Qt's own progress signal is rate-limited and may
    // stay silent until the end).
    task->written += chunk.size();
    if (task->download.progress) {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        task->download.progress(DownloadProgress{task->written, length.isValid() ? length.toLongLong() : -1});
    }
}

std::optional<Error> HttpSession::Private::failureOf(const std::shared_ptr<Task>& task, QNetworkReply* reply)
{
    if (task->cancelled)
        return HttpError::explicitlyCancelled();
    if (task->fileError)
        return HttpError::downloadFileFailed(*task->fileError);
    const QNetworkReply::NetworkError qtError = reply->error();
    if (!task->response || isTransportError(qtError)) {
        // The session never cancels on its own, so a cancel that nobody asked for is the
        // transfer timeout.
        const bool timedOut = qtError == QNetworkReply::OperationCanceledError;
        int code = NetworkError::codeFor(qtError, task->sslErrors, timedOut);
        if (isOfflineLike(code) && configuration.reachability
            && configuration.reachability->status() == Reachability::Status::NotReachable)
            code = NetworkError::NotConnectedToInternet;
        return HttpError::sessionTaskFailed(NetworkError::make(code, {{QStringLiteral("reason"), reply->errorString()}}));
    }
    const int status = task->response->statusCode;
    if (task->validate && (status < 200 || status > 299))
        return HttpError::unacceptableStatusCode(status);
    const bool emptyAllowed = status == 204 || status == 205 || task->sent->method == HttpMethod::Head;
    if (!task->isDownload && task->data->isEmpty() && !emptyAllowed)
        return HttpError::inputDataNilOrZeroLength();
    return std::nullopt;
}

void HttpSession::Private::onFinished(const std::shared_ptr<Task>& task, QNetworkReply* reply)
{
    if (task->finished || task->reply != reply)
        return;
    if (task->metrics)
        task->metrics->end = QDateTime::currentDateTimeUtc();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() > 0) {
        HttpResponse response{status.toInt(), {}, reply->url()};
        for (const auto& [name, value] : reply->rawHeaderPairs())
            response.headers.add(name, value);
        task->response = response;
        if (task->isDownload)
            onReadyRead(task, reply);
        else
            task->data = reply->readAll();
    }
    task->reply = nullptr;
    const std::optional<Error> failure = failureOf(task, reply);
    qCDebug(lcHttp) << "finished" << describe(*task->sent) << (task->response ? task->response->statusCode : 0)
                    << (failure ? failure->rootError().code : 0);
    if (!failure) {
        finish(task, std::nullopt);
        return;
    }
    if (task->cancelled) {
        finish(task, failure);
        return;
    }
    askRetry(task, *failure);
}

void HttpSession::Private::askRetry(const std::shared_ptr<Task>& task, const Error& error)
{
    if (!task->interceptor) {
        finish(task, error);
        return;
    }
    const int attempt = task->attempt;
    FailedAttempt failed{task->sent.value_or(task->original), task->response, task->retryCount};
    auto answered = std::make_shared<std::atomic_bool>(false);
    task->interceptor->retry(failed, error, [weak = weak_from_this(), task, attempt, error, answered](RetryResult answer) {
        if (answered->exchange(true))
            return;
        MainQueue::asyncIfNeeded([weak, task, attempt, error, answer = std::move(answer)] {
            if (auto d = weak.lock())
                d->onRetryAnswer(task, attempt, error, answer);
        });
    });
}

void HttpSession::Private::onRetryAnswer(const std::shared_ptr<Task>& task, int attempt, const Error& error, const RetryResult& answer)
{
    if (task->finished || task->attempt != attempt)
        return;
    switch (answer.kind) {
    case RetryResult::Kind::Retry:
        ++task->retryCount;
        begin(task);
        return;
    case RetryResult::Kind::DoNotRetry:
        finish(task, error);
        return;
    case RetryResult::Kind::DoNotRetryWithError:
        finish(task, HttpError::requestRetryFailed(answer.error));
        return;
    }
}

void HttpSession::Private::finish(const std::shared_ptr<Task>& task, std::optional<Error> error)
{
    if (task->finished)
        return;
    task->finished = true;
    tasks.remove(task->id);
    if (task->isDownload) {
        DownloadResponse response{task->sent, task->response, task->metrics, QString()};
        if (!error && !task->file
            && !openFile(*task, task->response ? task->response->headers.value("Content-Disposition") : QByteArray(),
                task->response ? task->response->url : task->original.url))
            error = HttpError::downloadFileFailed(*task->fileError);
        if (!error && !task->file->commit())
            error = HttpError::downloadFileFailed(NetworkError::make(NetworkError::CannotWriteToFile));
        if (error)
            response.result = std::unexpected(*error);
        else
            response.result = task->file->fileName();
        task->file.reset();
        if (task->downloadCompletion)
            task->downloadCompletion(response);
        return;
    }
    DataResponse response{task->sent, task->response, task->data, task->metrics, QByteArray(), task->retryCount};
    if (error)
        response.result = std::unexpected(*error);
    else
        response.result = task->data.value_or(QByteArray());
    if (task->dataCompletion)
        task->dataCompletion(response);
}

void HttpSession::Private::cancel(const QString& id)
{
    const auto task = tasks.value(id);
    if (!task || task->finished)
        return;
    task->cancelled = true;
    if (task->reply) {
        task->reply->abort();  // finishes through onFinished with the cancel
        return;
    }
    // Waiting for the interceptor: end now; its later answer is ignored.
    finish(task, HttpError::explicitlyCancelled());
}

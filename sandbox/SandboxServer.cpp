#include "SandboxServer.h"

#include <httplib.h>

#include <QUrlQuery>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString certificateFile(const char* name)
{
    return SandboxServer::certificateDirectory() + u'/' + QLatin1String(name);
}

SandboxRequest toSandboxRequest(const httplib::Request& request)
{
    SandboxRequest recorded;
    recorded.method = QByteArray::fromStdString(request.method);
    recorded.path = QString::fromStdString(request.path);
    const QByteArray target = QByteArray::fromStdString(request.target);
    const qsizetype question = target.indexOf('?');
    if (question >= 0) {
        const QUrlQuery query(QString::fromUtf8(target.mid(question + 1)));
        recorded.query = query.queryItems(QUrl::FullyDecoded);
    }
    for (const auto& [name, value] : request.headers)
        recorded.headers.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
    recorded.body = QByteArray::fromStdString(request.body);
    return recorded;
}

QString describe(const SandboxRequest& request)
{
    return QString::fromLatin1(request.method) + u' ' + request.path;
}

}

struct SandboxServer::Private {
    QString certificatePath;
    QString keyPath;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable released;
    bool stopping = false;
    bool heldReleased = false;
    QList<SandboxRoute> routes;
    QList<SandboxRequest> requests;
    QStringList violations;

    void handle(const httplib::Request& raw, httplib::Response& response);
    QStringList check(const SandboxRoute& route, const SandboxRequest& request) const;
    void stallUntilStopped();
    void write(const SandboxReply& reply, httplib::Response& response);
    void waitUntilReleased();
};

QStringList SandboxServer::Private::check(const SandboxRoute& route, const SandboxRequest& request) const
{
    QStringList problems;
    for (const QByteArray& name : route.requiredHeaders) {
        if (!request.hasHeader(name))
            problems.append(describe(request) + QStringLiteral(": missing header ") + QString::fromLatin1(name));
    }
    switch (route.body) {
    case SandboxBody::Any:
        break;
    case SandboxBody::Empty:
        if (!request.body.isEmpty())
            problems.append(describe(request) + QStringLiteral(": unexpected body"));
        break;
    case SandboxBody::JsonObject:
        if (!request.jsonBody())
            problems.append(describe(request) + QStringLiteral(": body is not a JSON object"));
        break;
    }
    return problems;
}

void SandboxServer::Private::handle(const httplib::Request& raw, httplib::Response& response)
{
    const SandboxRequest request = toSandboxRequest(raw);
    std::optional<SandboxRoute> route;
    QStringList problems;
    {
        std::lock_guard lock(mutex);
        requests.append(request);
        for (auto it = routes.crbegin(); it != routes.crend(); ++it) {
            if (it->matches(request.method, request.path)) {
                route = *it;
                break;
            }
        }
        problems = route ? check(*route, request) : QStringList{describe(request) + QStringLiteral(": unexpected path")};
        violations.append(problems);
    }
    if (!route) {
        write(SandboxReply::raw(404, "{}"), response);
        return;
    }
    if (!problems.isEmpty()) {
        write(SandboxReply::raw(400, "{}"), response);
        return;
    }
    const SandboxReply reply = route->handler ? route->handler(request) : SandboxReply();
    if (reply.stall) {
        stallUntilStopped();
        response.status = 503;
        return;
    }
    write(reply, response);
}

void SandboxServer::Private::stallUntilStopped()
{
    std::unique_lock lock(mutex);
    released.wait(lock, [this] { return stopping; });
}

void SandboxServer::Private::waitUntilReleased()
{
    std::unique_lock lock(mutex);
    released.wait(lock, [this] { return stopping || heldReleased; });
}

void SandboxServer::Private::write(const SandboxReply& reply, httplib::Response& response)
{
    response.status = reply.status;
    // Every answer ends its connection: the server never waits on idle keep-alive connections
    // when it stops, so a test's stand-in goes away at once.
    response.set_header("Connection", "close");
    for (const auto& [name, value] : reply.headers)
        response.set_header(name.toStdString(), value.toStdString());
    if (reply.chunkSize > 0 && !reply.body.isEmpty()) {
        auto body = std::make_shared<QByteArray>(reply.body);
        const size_t chunk = size_t(reply.chunkSize);
        const size_t hold = size_t(std::max<qint64>(reply.holdAfterBytes, 0));
        response.set_content_provider(size_t(body->size()), reply.contentType.toStdString(),
            [this, body, chunk, hold](size_t offset, size_t length, httplib::DataSink& sink) {
                if (hold > 0 && offset >= hold)
                    waitUntilReleased();
                const size_t end = hold > offset ? std::min(hold, offset + std::min(chunk, length)) : offset + std::min(chunk, length);
                return sink.write(body->constData() + offset, end - offset);
            });
        return;
    }
    if (reply.status == 204 || reply.status == 304)
        return;
    response.set_content(reply.body.toStdString(), reply.contentType.toStdString());
}

SandboxServer::SandboxServer()
    : SandboxServer(certificateFile("server.pem"), certificateFile("server-key.pem"))
{
}

SandboxServer::SandboxServer(const QString& certificatePath, const QString& keyPath)
    : d(std::make_unique<Private>())
{
    d->certificatePath = certificatePath;
    d->keyPath = keyPath;
}

SandboxServer::~SandboxServer()
{
    stop();
}

bool SandboxServer::start(quint16 port)
{
    if (d->server)
        return true;
    auto server = std::make_unique<httplib::SSLServer>(
        d->certificatePath.toLocal8Bit().constData(), d->keyPath.toLocal8Bit().constData());
    if (!server->is_valid())
        return false;
    // Every request of every method goes to the route table; the catch-all patterns let
    // httplib read the body first.
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        d->handle(request, response);
    };
    server->Get(".*", handler);
    server->Post(".*", handler);
    server->Put(".*", handler);
    server->Patch(".*", handler);
    server->Delete(".*", handler);
    server->Options(".*", handler);
    server->set_keep_alive_timeout(1);
    const int bound = port == 0 ? server->bind_to_any_port("127.0.0.1") : (server->bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0)
        return false;
    {
        std::lock_guard lock(d->mutex);
        d->stopping = false;
    }
    d->port = bound;
    d->server = std::move(server);
    d->thread = std::thread([server = d->server.get()] { server->listen_after_bind(); });
    // stop() only works once the loop runs, so start() returns when it does.
    for (int i = 0; i < 5000 && !d->server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return d->server->is_running();
}

void SandboxServer::stop()
{
    if (!d->server)
        return;
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->released.notify_all();
    d->server->stop();
    if (d->thread.joinable())
        d->thread.join();
    d->server.reset();
}

bool SandboxServer::isRunning() const
{
    return d->server != nullptr;
}

quint16 SandboxServer::port() const
{
    return quint16(d->port);
}

QString SandboxServer::hostWithPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(d->port);
}

QUrl SandboxServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("https://") + hostWithPort() + path);
}

void SandboxServer::route(SandboxRoute route)
{
    std::lock_guard lock(d->mutex);
    d->routes.append(std::move(route));
}

void SandboxServer::route(const QByteArray& method, const QString& path, std::function<SandboxReply(const SandboxRequest&)> handler)
{
    SandboxRoute entry;
    entry.method = method;
    entry.path = path;
    entry.handler = std::move(handler);
    route(std::move(entry));
}

void SandboxServer::reply(const QByteArray& method, const QString& path, const SandboxReply& reply)
{
    route(method, path, [reply](const SandboxRequest&) { return reply; });
}

void SandboxServer::releaseHeldReplies()
{
    {
        std::lock_guard lock(d->mutex);
        d->heldReleased = true;
    }
    d->released.notify_all();
}

QList<SandboxRequest> SandboxServer::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->requests;
}

QList<SandboxRequest> SandboxServer::requests(const QByteArray& method, const QString& path) const
{
    QList<SandboxRequest> matching;
    for (const SandboxRequest& request : requests()) {
        if (request.method == method && request.path == path)
            matching.append(request);
    }
    return matching;
}

QStringList SandboxServer::violations() const
{
    std::lock_guard lock(d->mutex);
    return d->violations;
}

void SandboxServer::clearRecords()
{
    std::lock_guard lock(d->mutex);
    d->requests.clear();
    d->violations.clear();
}

QJsonObject SandboxServer::informationOverrides() const
{
    const QString host = hostWithPort();
    return QJsonObject{
        {QStringLiteral("API Gateway Host"), host},
        {QStringLiteral("Auth Token Host"), host},
        {QStringLiteral("Storage Host"), host},
        {QStringLiteral("Download Host"), host},
        {QStringLiteral("CDN Host"), host},
        {QStringLiteral("Trusted CA Certificate"), testCaPath()},
    };
}

QString SandboxServer::certificateDirectory()
{
    return QStringLiteral(VEL_SANDBOX_CERT_DIR);
}

QString SandboxServer::testCaPath()
{
    return certificateFile("test-ca.pem");
}

QString SandboxServer::untrustedCertificatePath()
{
    return certificateFile("untrusted-server.pem");
}

QString SandboxServer::untrustedKeyPath()
{
    return certificateFile("untrusted-server-key.pem");
}

quint16 SandboxServer::unusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

#include "HttpsTestServerFixture.h"

#include "SandboxServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <atomic>

struct HttpsTestServer::Reply {
    std::atomic<int> status{200};
    std::atomic<bool> stall{false};
};

HttpsTestServer::HttpsTestServer() : server_(std::make_unique<SandboxServer>()), reply_(std::make_shared<Reply>()) {}

HttpsTestServer::~HttpsTestServer()
{
    stop();
}

bool HttpsTestServer::start()
{
    if (server_->isRunning())
        return true;
    if (!server_->start(port_))
        return false;
    port_ = server_->port();
    return true;
}

void HttpsTestServer::stop()
{
    server_->stop();
}

bool HttpsTestServer::isRunning() const
{
    return server_->isRunning();
}

int HttpsTestServer::port() const
{
    return port_;
}

QUrl HttpsTestServer::url(const QString& path)
{
    if (!routed_.contains(path)) {
        routed_.insert(path);
        std::shared_ptr<Reply> reply = reply_;
        server_->route("POST", path, [reply](const SandboxRequest&) {
            if (reply->stall.load())
                return SandboxReply::stalled();
            return SandboxReply::json(QJsonObject{}, reply->status.load());
        });
    }
    return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port_).arg(path));
}

QString HttpsTestServer::caCertificatePath() const
{
    return SandboxServer::testCaPath();
}

QSslCertificate HttpsTestServer::caCertificate() const
{
    return QSslCertificate::fromPath(caCertificatePath(), QSsl::Pem).value(0);
}

void HttpsTestServer::setStatus(int status)
{
    reply_->status.store(status);
}

void HttpsTestServer::setStalled(bool stall)
{
    reply_->stall.store(stall);
}

QList<QJsonObject> HttpsTestServer::bodies() const
{
    QList<QJsonObject> out;
    for (const SandboxRequest& request : server_->requests())
        if (request.method == "POST")
            out.append(request.jsonBody().value_or(QJsonObject{}));
    return out;
}

QList<QJsonObject> HttpsTestServer::items() const
{
    QList<QJsonObject> out;
    for (const QJsonObject& body : bodies())
        for (const QJsonValue& item : body.value(QStringLiteral("batch")).toArray())
            out.append(item.toObject());
    return out;
}

int HttpsTestServer::requestCount() const
{
    return int(server_->requests().size());
}

QList<QByteArray> HttpsTestServer::contentTypes() const
{
    return headerValues("Content-Type");
}

QList<QByteArray> HttpsTestServer::headerValues(const QByteArray& name) const
{
    QList<QByteArray> out;
    for (const SandboxRequest& request : server_->requests())
        out.append(request.header(name));
    return out;
}

QStringList HttpsTestServer::violations() const
{
    return server_->violations();
}

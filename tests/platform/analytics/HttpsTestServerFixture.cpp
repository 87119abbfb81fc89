#include "HttpsTestServerFixture.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <atomic>
#include <openssl/evp.h>
#include <openssl/x509v3.h>
#include <thread>

namespace {

EVP_PKEY* makeKey()
{
    return EVP_EC_gen("P-256");
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

X509* makeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, long serial, bool ca)
{
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer) : name);
    X509* issuing = issuer ? issuer : cert;
    if (ca) {
        addExtension(cert, issuing, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert, issuing, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert, issuing, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert, issuing, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
        addExtension(cert, issuing, NID_ext_key_usage, "serverAuth");
    }
    X509_sign(cert, issuerKey ? issuerKey : key, EVP_sha256());
    return cert;
}

QByteArray pem(X509* cert)
{
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QByteArray out(data, int(size));
    BIO_free(bio);
    return out;
}

}

struct HttpsTestServer::State {
    EVP_PKEY* caKey = nullptr;
    X509* caCert = nullptr;
    EVP_PKEY* serverKey = nullptr;
    X509* serverCert = nullptr;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = 0;
    std::atomic<int> status{200};
    mutable QMutex mutex;
    QList<QJsonObject> bodies;
    QList<QByteArray> contentTypes;
};

HttpsTestServer::HttpsTestServer() : state_(std::make_unique<State>())
{
    state_->caKey = makeKey();
    state_->caCert = makeCertificate(state_->caKey, "Delivery Test CA", nullptr, nullptr, 1, true);
    state_->serverKey = makeKey();
    state_->serverCert = makeCertificate(state_->serverKey, "127.0.0.1", state_->caCert, state_->caKey, 2, false);
}

HttpsTestServer::~HttpsTestServer()
{
    stop();
    X509_free(state_->serverCert);
    EVP_PKEY_free(state_->serverKey);
    X509_free(state_->caCert);
    EVP_PKEY_free(state_->caKey);
}

bool HttpsTestServer::start()
{
    if (state_->server)
        return true;
    auto server = std::make_unique<httplib::SSLServer>(state_->serverCert, state_->serverKey);
    if (!server->is_valid())
        return false;
    // One request per connection, so stopping never waits for an idle keep-alive client.
    server->set_keep_alive_max_count(1);
    State* s = state_.get();
    server->Post(".*", [s](const httplib::Request& request, httplib::Response& response) {
        const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
        {
            QMutexLocker lock(&s->mutex);
            s->bodies.append(body);
            s->contentTypes.append(QByteArray::fromStdString(request.get_header_value("Content-Type")));
        }
        response.status = s->status.load();
        response.set_content("{}", "application/json");
    });
    if (s->port == 0) {
        s->port = server->bind_to_any_port("127.0.0.1");
        if (s->port <= 0)
            return false;
    } else if (!server->bind_to_port("127.0.0.1", s->port)) {
        return false;
    }
    httplib::SSLServer* raw = server.get();
    s->server = std::move(server);
    s->thread = std::thread([raw] { raw->listen_after_bind(); });
    // stop() is only safe once the server loop runs.
    for (int i = 0; i < 5000 && !raw->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return raw->is_running();
}

void HttpsTestServer::stop()
{
    if (!state_->server)
        return;
    state_->server->stop();
    if (state_->thread.joinable())
        state_->thread.join();
    state_->server.reset();
}

bool HttpsTestServer::isRunning() const
{
    return state_->server != nullptr;
}

int HttpsTestServer::port() const
{
    return state_->port;
}

QUrl HttpsTestServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(state_->port).arg(path));
}

QSslCertificate HttpsTestServer::caCertificate() const
{
    return QSslCertificate(pem(state_->caCert), QSsl::Pem);
}

void HttpsTestServer::setStatus(int status)
{
    state_->status.store(status);
}

QList<QJsonObject> HttpsTestServer::bodies() const
{
    QMutexLocker lock(&state_->mutex);
    return state_->bodies;
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
    QMutexLocker lock(&state_->mutex);
    return int(state_->bodies.size());
}

QList<QByteArray> HttpsTestServer::contentTypes() const
{
    QMutexLocker lock(&state_->mutex);
    return state_->contentTypes;
}

#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QSslCertificate>
#include <QUrl>
#include <memory>

// A small HTTPS server on 127.0.0.1 for delivery tests. Its certificate comes from a CA the test
// makes on the spot; clients trust that CA explicitly and keep peer verification on.
// Every POST body it receives is recorded; stop() and start() again on the same port play an
// endpoint that is down and comes back.
class HttpsTestServer {
public:
    HttpsTestServer();
    ~HttpsTestServer();

    bool start();
    void stop();
    bool isRunning() const;
    int port() const;
    QUrl url(const QString& path = QStringLiteral("/batch")) const;
    QSslCertificate caCertificate() const;
    // The reply status of later requests (200 by default).
    void setStatus(int status);

    QList<QJsonObject> bodies() const;
    // Every item of every received {"batch": [...]} in arrival order.
    QList<QJsonObject> items() const;
    int requestCount() const;
    QList<QByteArray> contentTypes() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

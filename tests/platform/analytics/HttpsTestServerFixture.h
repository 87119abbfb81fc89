#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QSslCertificate>
#include <QUrl>
#include <memory>

class SandboxServer;

// The local stand-in service set up as a delivery endpoint: every POST body it receives on a
// path handed out by url() is recorded; stop() and start() again on the same port play an
// endpoint that is down and comes back. Its certificate comes from the build's test CA, which
// clients trust explicitly (caCertificate()) with peer verification on.
class HttpsTestServer {
public:
    HttpsTestServer();
    ~HttpsTestServer();

    bool start();
    void stop();
    bool isRunning() const;
    int port() const;
    QUrl url(const QString& path = QStringLiteral("/batch"));
    QSslCertificate caCertificate() const;
    QString caCertificatePath() const;
    // The reply status of later requests (200 by default); `stall` leaves requests unanswered.
    void setStatus(int status);
    void setStalled(bool stall);

    QList<QJsonObject> bodies() const;
    // Every item of every received {"batch": [...]} in arrival order.
    QList<QJsonObject> items() const;
    int requestCount() const;
    QList<QByteArray> contentTypes() const;
    QList<QByteArray> headerValues(const QByteArray& name) const;
    // Requests the stand-in would not accept (unknown paths and the like).
    QStringList violations() const;

private:
    std::unique_ptr<SandboxServer> server_;
    struct Reply;
    std::shared_ptr<Reply> reply_;
    QSet<QString> routed_;
    quint16 port_ = 0;
};

#pragma once

#include "SandboxReply.h"
#include "SandboxRequest.h"
#include "SandboxRoute.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

// The local stand-in of the backend: an HTTPS server on 127.0.0.1 with a certificate from the
// build's test CA, running on its own thread. It answers from a route table that tests and
// later features extend, records every request, and collects a violation for every request
// on an unknown path, without a required header or with a malformed body, so a test fails
// when the application sends something the backend would not accept.
class SandboxServer {
public:
    // Serves with the build's test certificate (signed by `testCaPath()`).
    SandboxServer();
    // Serves with another certificate and key (PEM files).
    SandboxServer(const QString& certificatePath, const QString& keyPath);
    ~SandboxServer();
    SandboxServer(const SandboxServer&) = delete;
    SandboxServer& operator=(const SandboxServer&) = delete;

    // Listens on 127.0.0.1 (port 0: a free port). False when the port cannot be bound or the
    // certificate cannot be loaded.
    bool start(quint16 port = 0);
    // Stops listening, releases stalled requests and joins the server thread. Idempotent.
    void stop();
    bool isRunning() const;

    quint16 port() const;
    QString hostWithPort() const;            // "127.0.0.1:<port>"
    QUrl url(const QString& path = QStringLiteral("/")) const;

    // Adds a route; a later route for the same method and path takes precedence.
    void route(SandboxRoute route);
    void route(const QByteArray& method, const QString& path, std::function<SandboxReply(const SandboxRequest&)> handler);
    // A route that always gives `reply`.
    void reply(const QByteArray& method, const QString& path, const SandboxReply& reply);

    // Lets replies that hold part of their body go on.
    void releaseHeldReplies();

    QList<SandboxRequest> requests() const;
    QList<SandboxRequest> requests(const QByteArray& method, const QString& path) const;
    QStringList violations() const;
    // Forgets recorded requests and violations (routes stay).
    void clearRecords();

    // The entries of the information dictionary that point the application at this server:
    // every backend host as "127.0.0.1:<port>" and the test CA to trust.
    QJsonObject informationOverrides() const;

    static QString certificateDirectory();
    static QString testCaPath();
    static QString untrustedCertificatePath();
    static QString untrustedKeyPath();
    // A loopback port on which nothing listens (for connection-refused cases).
    static quint16 unusedPort();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

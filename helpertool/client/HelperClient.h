#pragma once

#include "Error.h"
#include "HelperFrame.h"
#include "HelperProtocol.h"

#include <QJsonValue>
#include <QStringList>
#include <expected>
#include <functional>

// A blocking client of the helper daemon: one connection, one call at a time. Run it off the
// main thread; every wait is bounded by the caller's timeout.
class HelperClient {
public:
    static inline const QString errorDomain = QStringLiteral("HelperClient");
    enum ErrorCode {
        connectFailed = 1,   // no daemon behind the socket, or it refused us at once
        connectionClosed,    // the daemon closed the connection (refused client, bad frame)
        noReply,             // no reply within the timeout (unknown command, slow tool)
        malformedMessage,    // the daemon sent something that is not a protocol message
    };

    explicit HelperClient(QString socketPath = HelperProtocol::defaultSocketPath);
    ~HelperClient();
    HelperClient(const HelperClient&) = delete;
    HelperClient& operator=(const HelperClient&) = delete;

    std::expected<void, Error> connect();
    bool isConnected() const { return fd_ >= 0; }
    void close();

    // Sends `arguments` (command, then its argument) and waits for the reply's one value.
    // Diagnostic texts that arrive meanwhile go to `onLog`.
    std::expected<QJsonValue, Error> send(const QStringList& arguments, int timeoutMs,
        const std::function<void(const QString&)>& onLog = {});

    // Writes raw bytes to the connection (tests of the daemon's framing).
    bool sendRaw(const QByteArray& bytes);

private:
    std::expected<void, Error> writeAll(const QByteArray& bytes, qint64 deadlineMs);

    QString socketPath_;
    int fd_ = -1;
    qint64 nextId_ = 1;
    HelperFrame::Reader reader_ { HelperProtocol::maxMessageSize };
};

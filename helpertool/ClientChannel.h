#pragma once

#include <QJsonObject>
#include <QString>
#include <atomic>
#include <functional>

// The way back to the client that made a call: its diagnostic texts and replies go to that
// connection and no other. Usable from any thread; after the connection has closed, isOpen()
// is false and messages are dropped.
class ClientChannel {
public:
    using Sender = std::function<void(const QJsonObject& message)>;

    explicit ClientChannel(Sender sender) : sender_(std::move(sender)) {}

    bool isOpen() const { return open_.load(); }
    void markClosed() { open_.store(false); }

    // logWithStdErr of the client.
    void log(const QString& text)
    {
        send(QJsonObject { { QStringLiteral("log"), text } });
    }
    void send(const QJsonObject& message)
    {
        if (isOpen())
            sender_(message);
    }

private:
    Sender sender_;
    std::atomic<bool> open_ { true };
};

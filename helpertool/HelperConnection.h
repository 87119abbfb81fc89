#pragma once

#include "ClientChannel.h"
#include "HelperFrame.h"
#include "PeerProcess.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <memory>

class QSocketNotifier;

// One accepted client on the main thread: reads request frames, writes messages without
// blocking, and closes itself on end of stream, an oversized frame or an undecodable one.
class HelperConnection : public QObject {
    Q_OBJECT
public:
    HelperConnection(int fd, PeerProcess peer, quint64 id, QObject* parent = nullptr);
    ~HelperConnection() override;

    quint64 id() const { return id_; }
    const PeerProcess& peer() const { return peer_; }
    // The channel that calls made on this connection answer through.
    const std::shared_ptr<ClientChannel>& channel() const { return channel_; }
    bool isOpen() const { return fd_ >= 0; }

    void send(const QJsonObject& message);
    void close();

signals:
    void requestReceived(const QJsonObject& request);
    void unreadableRequest();
    void closed();

private:
    void readAvailable();
    void flush();

    int fd_;
    PeerProcess peer_;
    quint64 id_;
    std::shared_ptr<ClientChannel> channel_;
    HelperFrame::Reader reader_;
    QByteArray pending_;
    QSocketNotifier* readNotifier_;
    QSocketNotifier* writeNotifier_;
};

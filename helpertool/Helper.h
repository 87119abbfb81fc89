#pragma once

#include "CodeSignature.h"
#include "CommandDispatcher.h"
#include "PacketFilter.h"
#include "PeerProcess.h"
#include "Scheduler.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <expected>
#include <memory>

class HelperConnection;
class QSocketNotifier;

// The daemon: accepts clients on its listening socket when their executable is signed with
// the same certificate chain as the daemon's own, hands each call to the command dispatcher,
// and asks to quit once the last client has been gone for the check interval.
class Helper : public QObject {
    Q_OBJECT
public:
    struct Options {
        // The process whose signing chain clients must share: "self" in the daemon.
        QString ownProcess = QStringLiteral("self");
        QByteArray trustedRootPem;
        PacketFilter::Config packetFilter;
        double shouldQuitCheckInterval = 1.0;
    };

    // Takes over `listenFd`, a listening Unix stream socket.
    Helper(int listenFd, Options options, Scheduler& scheduler, QObject* parent = nullptr);
    ~Helper() override;

    // Starts accepting clients.
    void run();

    int connectionCount() const { return int(connections_.size()); }
    bool shouldQuit() const { return shouldQuit_; }

    // Whether the peer may use the daemon: its environment loads no extra libraries, its
    // executable's signing chain equals ours (neither empty), and its pid still names the
    // process that connected once the check is done.
    std::expected<bool, CodesignCheckError> validate(const PeerProcess& peer) const;
    // validate() with failures logged and counted as not valid.
    bool isValid(const PeerProcess& peer) const;

signals:
    // The idle period after the last client has passed.
    void quit();

private:
    void acceptConnections();
    void accept(int fd);
    void handleRequest(HelperConnection* connection, const QJsonObject& request);
    void removeConnection(HelperConnection* connection);

    int listenFd_;
    Options options_;
    Scheduler& scheduler_;
    CodeSignature codeSignature_;
    std::unique_ptr<CommandDispatcher> dispatcher_;
    QSocketNotifier* listener_ = nullptr;
    QList<HelperConnection*> connections_;
    quint64 nextConnectionId_ = 1;
    bool shouldQuit_ = false;
    Scheduler::Token quitToken_ = 0;
};

#include "Helper.h"

#include "HelperConnection.h"
#include "HelperLog.h"

#include <QJsonArray>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

Helper::Helper(int listenFd, Options options, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , listenFd_(listenFd)
    , options_(std::move(options))
    , scheduler_(scheduler)
    , codeSignature_(options_.trustedRootPem)
    , dispatcher_(std::make_unique<CommandDispatcher>(options_.packetFilter))
{
    ::fcntl(listenFd_, F_SETFL, ::fcntl(listenFd_, F_GETFL) | O_NONBLOCK);
    ::fcntl(listenFd_, F_SETFD, FD_CLOEXEC);
    HelperLog::helper(QStringLiteral("Init"));
}

Helper::~Helper()
{
    scheduler_.cancel(quitToken_);
    // Queued commands finish first; their answers find their connections gone.
    dispatcher_.reset();
    qDeleteAll(connections_);
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

void Helper::run()
{
    HelperLog::helper(QStringLiteral("run"));
    if (listener_)
        return;
    listener_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(listener_, &QSocketNotifier::activated, this, &Helper::acceptConnections);
}

void Helper::acceptConnections()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        accept(fd);
    }
}

void Helper::accept(int fd)
{
    HelperLog::helper(QStringLiteral("listener(_ listener: NSXPCListener"));
    // The identity comes from the kernel at accept, never from anything the client sends.
    const auto peer = PeerProcess::ofSocket(fd);
    if (!peer || !isValid(*peer)) {
        HelperLog::helper(QStringLiteral("self.isValid(connection false"));
        ::close(fd);
        return;
    }
    HelperLog::helper(QStringLiteral("self.isValid(connection YES"));

    auto* connection = new HelperConnection(fd, *peer, nextConnectionId_++, this);
    connect(connection, &HelperConnection::requestReceived, this,
        [this, connection](const QJsonObject& request) { handleRequest(connection, request); });
    connect(connection, &HelperConnection::unreadableRequest, this,
        [] { HelperLog::out(QStringLiteral("Couldn't read file.")); });
    connect(connection, &HelperConnection::closed, this, [this, connection] { removeConnection(connection); });
    connections_.append(connection);
    // A client that arrives during the idle period keeps the daemon.
    scheduler_.cancel(quitToken_);
    quitToken_ = 0;
}

std::expected<bool, CodesignCheckError> Helper::validate(const PeerProcess& peer) const
{
    const auto preloads = PeerProcess::preloadsLibraries(peer.pid);
    if (!preloads)
        return std::unexpected(CodesignCheckError { QStringLiteral("Client environment unreadable") });
    if (*preloads)
        return std::unexpected(CodesignCheckError { QStringLiteral("Client environment preloads libraries") });

    const auto own = codeSignature_.codeSigningCertificatesOfProcess(options_.ownProcess);
    if (!own)
        return std::unexpected(own.error());
    const auto client = codeSignature_.codeSigningCertificatesOfProcess(QString::number(peer.pid));
    if (!client)
        return std::unexpected(client.error());

    // The pid may have been reused while we read: the process must be the one that connected.
    if (PeerProcess::startTimeOf(peer.pid) != peer.startTime)
        return std::unexpected(CodesignCheckError { QStringLiteral("Client process changed during the check") });

    return CodeSignature::sameChain(*own, *client);
}

bool Helper::isValid(const PeerProcess& peer) const
{
    const auto valid = validate(peer);
    if (!valid) {
        HelperLog::helper(QStringLiteral("Code signing check failed with error"));
        HelperLog::out(QStringLiteral("Code signing check failed with error"));
        HelperLog::err(QStringLiteral("Code signing check failed with error: ") + valid.error().message);
        return false;
    }
    return *valid;
}

void Helper::handleRequest(HelperConnection* connection, const QJsonObject& request)
{
    const QJsonValue id = request.value(QStringLiteral("id"));
    std::shared_ptr<ClientChannel> channel = connection->channel();
    // The answer and every text of this call go back on the connection that made it.
    dispatcher_->dispatch(request.value(QStringLiteral("arguments")), channel,
        [channel, id](const QJsonValue& value) {
            channel->send(QJsonObject { { QStringLiteral("id"), id }, { QStringLiteral("reply"), QJsonArray { value } } });
        });
}

void Helper::removeConnection(HelperConnection* connection)
{
    if (!connections_.removeOne(connection))
        return;
    connection->deleteLater();
    if (!connections_.isEmpty())
        return;
    scheduler_.cancel(quitToken_);
    quitToken_ = scheduler_.schedule(options_.shouldQuitCheckInterval, [this] {
        quitToken_ = 0;
        shouldQuit_ = true;
        emit quit();
    });
}

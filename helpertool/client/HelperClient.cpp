#include "HelperClient.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

Error clientError(int code, const QString& message)
{
    return Error(HelperClient::errorDomain, code, message);
}

}

HelperClient::HelperClient(QString socketPath)
    : socketPath_(std::move(socketPath))
{
}

HelperClient::~HelperClient()
{
    close();
}

std::expected<void, Error> HelperClient::connect()
{
    close();
    const QByteArray path = socketPath_.toLocal8Bit();
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof(address.sun_path)))
        return std::unexpected(clientError(connectFailed, QStringLiteral("Socket path too long")));
    std::memcpy(address.sun_path, path.constData(), path.size());

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::unexpected(clientError(connectFailed, QString::fromLocal8Bit(std::strerror(errno))));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        const int error = errno;
        ::close(fd);
        return std::unexpected(clientError(connectFailed, QString::fromLocal8Bit(std::strerror(error))));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    fd_ = fd;
    reader_ = HelperFrame::Reader(HelperProtocol::maxMessageSize);
    return {};
}

void HelperClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool HelperClient::sendRaw(const QByteArray& bytes)
{
    QDeadlineTimer deadline(5000);
    return fd_ >= 0 && writeAll(bytes, deadline.deadline()).has_value();
}

std::expected<void, Error> HelperClient::writeAll(const QByteArray& bytes, qint64 deadlineMs)
{
    QDeadlineTimer deadline;
    deadline.setDeadline(deadlineMs);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.constData() + written, bytes.size() - written, MSG_NOSIGNAL);
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p { fd_, POLLOUT, 0 };
            const int remaining = int(deadline.remainingTime());
            if (remaining == 0 || ::poll(&p, 1, remaining) == 0)
                return std::unexpected(clientError(noReply, QStringLiteral("Timed out sending")));
            continue;
        }
        close();
        return std::unexpected(clientError(connectionClosed, QStringLiteral("Connection closed by the helper")));
    }
    return {};
}

std::expected<QJsonValue, Error> HelperClient::send(const QStringList& arguments, int timeoutMs,
    const std::function<void(const QString&)>& onLog)
{
    if (fd_ < 0)
        return std::unexpected(clientError(connectionClosed, QStringLiteral("Not connected")));
    QDeadlineTimer deadline(timeoutMs);
    const qint64 id = nextId_++;
    QJsonObject request { { QStringLiteral("id"), double(id) },
        { QStringLiteral("arguments"), QJsonArray::fromStringList(arguments) } };
    if (auto sent = writeAll(HelperFrame::encode(request), deadline.deadline()); !sent)
        return std::unexpected(sent.error());

    for (;;) {
        QByteArray payload;
        const auto status = reader_.next(payload);
        if (status == HelperFrame::Reader::Status::TooLarge) {
            close();
            return std::unexpected(clientError(malformedMessage, QStringLiteral("Message too large")));
        }
        if (status == HelperFrame::Reader::Status::Frame) {
            const auto message = HelperFrame::decodeObject(payload);
            if (!message) {
                close();
                return std::unexpected(clientError(malformedMessage, QStringLiteral("Message is not a JSON object")));
            }
            if (message->value(QStringLiteral("log")).isString()) {
                if (onLog)
                    onLog(message->value(QStringLiteral("log")).toString());
                continue;
            }
            const QJsonArray reply = message->value(QStringLiteral("reply")).toArray();
            if (message->value(QStringLiteral("id")).toDouble(-1) == double(id) && reply.size() == 1)
                return reply.first();
            continue;  // a late reply of an earlier call that timed out
        }

        pollfd p { fd_, POLLIN, 0 };
        const int remaining = int(deadline.remainingTime());
        if (remaining == 0)
            return std::unexpected(clientError(noReply, QStringLiteral("No reply from the helper")));
        const int ready = ::poll(&p, 1, remaining);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::unexpected(clientError(noReply, QStringLiteral("No reply from the helper")));
        char buffer[65536];
        const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            close();
            return std::unexpected(clientError(connectionClosed, QStringLiteral("Connection closed by the helper")));
        }
        reader_.append(QByteArray(buffer, n));
    }
}

#include "HelperConnection.h"

#include "HelperProtocol.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

HelperConnection::HelperConnection(int fd, PeerProcess peer, quint64 id, QObject* parent)
    : QObject(parent)
    , fd_(fd)
    , peer_(peer)
    , id_(id)
    , reader_(HelperProtocol::maxRequestSize)
    , readNotifier_(new QSocketNotifier(fd, QSocketNotifier::Read, this))
    , writeNotifier_(new QSocketNotifier(fd, QSocketNotifier::Write, this))
{
    // Other threads reach the connection only through a queued hop to the main thread; a
    // message for a connection that is gone by then is dropped there.
    QPointer<HelperConnection> self(this);
    channel_ = std::make_shared<ClientChannel>([self](const QJsonObject& message) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, message] {
            if (self)
                self->send(message);
        }, Qt::QueuedConnection);
    });
    writeNotifier_->setEnabled(false);
    connect(readNotifier_, &QSocketNotifier::activated, this, &HelperConnection::readAvailable);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &HelperConnection::flush);
}

HelperConnection::~HelperConnection()
{
    channel_->markClosed();
    if (fd_ >= 0)
        ::close(fd_);
}

void HelperConnection::send(const QJsonObject& message)
{
    if (fd_ < 0)
        return;
    pending_.append(HelperFrame::encode(message));
    flush();
}

void HelperConnection::flush()
{
    while (fd_ >= 0 && !pending_.isEmpty()) {
        const ssize_t n = ::send(fd_, pending_.constData(), pending_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            pending_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writeNotifier_->setEnabled(true);
            return;
        }
        close();
        return;
    }
    if (fd_ >= 0)
        writeNotifier_->setEnabled(false);
}

void HelperConnection::readAvailable()
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (n > 0) {
            reader_.append(QByteArray(buffer, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        close();  // end of stream or error
        return;
    }
    for (;;) {
        QByteArray payload;
        const auto status = reader_.next(payload);
        if (status == HelperFrame::Reader::Status::NeedMore)
            return;
        if (status == HelperFrame::Reader::Status::TooLarge) {
            close();
            return;
        }
        const auto request = HelperFrame::decodeObject(payload);
        if (!request) {
            emit unreadableRequest();
            close();
            return;
        }
        emit requestReceived(*request);
        if (fd_ < 0)
            return;
    }
}

void HelperConnection::close()
{
    if (fd_ < 0)
        return;
    channel_->markClosed();
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    ::close(fd_);
    fd_ = -1;
    emit closed();
}

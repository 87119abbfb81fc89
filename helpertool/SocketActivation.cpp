#include "SocketActivation.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int firstPassedFd = 3;

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(errno)));
}

}

std::expected<int, QString> SocketActivation::fromEnvironment()
{
    const QByteArray pid = qgetenv("LISTEN_PID");
    const QByteArray count = qgetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    if (pid.isEmpty() || count.isEmpty())
        return std::unexpected(QStringLiteral("Not started by socket activation"));
    if (pid.toLongLong() != ::getpid())
        return std::unexpected(QStringLiteral("Passed sockets belong to another process"));
    if (count.toInt() != 1)
        return std::unexpected(QStringLiteral("Expected exactly one passed socket"));

    int type = 0;
    int listening = 0;
    socklen_t length = sizeof(type);
    sockaddr_storage address {};
    socklen_t addressLength = sizeof(address);
    if (::getsockopt(firstPassedFd, SOL_SOCKET, SO_TYPE, &type, &length) != 0
        || ::getsockopt(firstPassedFd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &(length = sizeof(listening))) != 0
        || ::getsockname(firstPassedFd, reinterpret_cast<sockaddr*>(&address), &addressLength) != 0)
        return std::unexpected(systemError("passed socket"));
    if (type != SOCK_STREAM || !listening || address.ss_family != AF_UNIX)
        return std::unexpected(QStringLiteral("Passed socket is not a listening Unix stream socket"));
    ::fcntl(firstPassedFd, F_SETFD, FD_CLOEXEC);
    return firstPassedFd;
}

std::expected<int, QString> SocketActivation::listenOn(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || bytes.size() >= qsizetype(sizeof(address.sun_path)))
        return std::unexpected(QStringLiteral("Socket path empty or too long"));
    std::memcpy(address.sun_path, bytes.constData(), bytes.size());

    struct stat existing {};
    if (::lstat(bytes.constData(), &existing) == 0 && S_ISSOCK(existing.st_mode))
        ::unlink(bytes.constData());

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::unexpected(systemError("socket"));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0
        || ::chmod(bytes.constData(), 0666) != 0 || ::listen(fd, 16) != 0) {
        const QString error = systemError("listen");
        ::close(fd);
        return std::unexpected(error);
    }
    return fd;
}

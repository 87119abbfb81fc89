#include "PeerProcess.h"

#include <QFile>
#include <QList>

#include <sys/socket.h>

namespace {

std::optional<QByteArray> readProcFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    // /proc files report size 0: read until the end.
    QByteArray content;
    for (;;) {
        const QByteArray chunk = file.read(65536);
        if (chunk.isEmpty())
            break;
        content.append(chunk);
    }
    return content;
}

}

std::optional<PeerProcess> PeerProcess::ofSocket(int fd)
{
    ucred credentials {};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || credentials.pid <= 0)
        return std::nullopt;
    const auto start = startTimeOf(credentials.pid);
    if (!start)
        return std::nullopt;
    return PeerProcess { credentials.pid, credentials.uid, *start };
}

std::optional<quint64> PeerProcess::startTimeOf(pid_t pid, const QString& procRoot)
{
    const auto stat = readProcFile(QStringLiteral("%1/%2/stat").arg(procRoot).arg(pid));
    if (!stat)
        return std::nullopt;
    return parseStartTime(*stat);
}

std::optional<quint64> PeerProcess::parseStartTime(const QByteArray& stat)
{
    // The command name (field 2) is in parentheses and may itself hold spaces and ')'; the
    // fields after the last ')' start with field 3.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    constexpr int startTimeField = 22;
    const int index = startTimeField - 3;
    if (fields.size() <= index)
        return std::nullopt;
    bool ok = false;
    const quint64 value = fields.at(index).toULongLong(&ok);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

std::optional<bool> PeerProcess::preloadsLibraries(pid_t pid, const QString& procRoot)
{
    const auto environ = readProcFile(QStringLiteral("%1/%2/environ").arg(procRoot).arg(pid));
    if (!environ)
        return std::nullopt;
    return environmentPreloads(*environ);
}

bool PeerProcess::environmentPreloads(const QByteArray& environ)
{
    for (const QByteArray& entry : environ.split('\0')) {
        for (const char* name : { "LD_PRELOAD=", "LD_AUDIT=" }) {
            const QByteArray prefix(name);
            if (entry.startsWith(prefix) && !entry.mid(prefix.size()).trimmed().isEmpty())
                return true;
        }
    }
    return false;
}

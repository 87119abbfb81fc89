#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

// What the kernel tells about the process on the other end of a connection, taken once at
// accept so later checks can tell whether the pid still names the same process.
struct PeerProcess {
    pid_t pid = 0;
    uid_t uid = 0;
    quint64 startTime = 0;  // clock ticks after boot, field 22 of /proc/<pid>/stat

    // SO_PEERCRED of a connected Unix socket plus the process's start time; nullopt when either
    // cannot be read (the process is already gone).
    static std::optional<PeerProcess> ofSocket(int fd);

    static std::optional<quint64> startTimeOf(pid_t pid, const QString& procRoot = QStringLiteral("/proc"));
    // Whether the initial environment asks the dynamic loader to load extra libraries
    // (LD_PRELOAD or LD_AUDIT with a value). nullopt when the environment cannot be read.
    static std::optional<bool> preloadsLibraries(pid_t pid, const QString& procRoot = QStringLiteral("/proc"));

    // The parsers on their own, for /proc text already read.
    static std::optional<quint64> parseStartTime(const QByteArray& stat);
    static bool environmentPreloads(const QByteArray& environ);
};

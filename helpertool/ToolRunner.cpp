#include "ToolRunner.h"

#include <QDeadlineTimer>
#include <QFile>
#include <vector>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

int statusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return 128 + WTERMSIG(waitStatus);
    return 127;
}

}

ToolRunner::Result ToolRunner::run(const QStringList& command, const QByteArray& input, const OutputHandler& onOutput) const
{
    Result result;
    if (command.isEmpty()) {
        result.status = 127;
        return result;
    }

    // Standard input is a socket so that writing to a tool that stopped reading gives EPIPE
    // (MSG_NOSIGNAL), never SIGPIPE to the whole daemon.
    int inputPair[2];
    int outputPipe[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, inputPair) != 0) {
        result.status = 127;
        return result;
    }
    if (::pipe2(outputPipe, O_CLOEXEC) != 0) {
        ::close(inputPair[0]);
        ::close(inputPair[1]);
        result.status = 127;
        return result;
    }
    ::shutdown(inputPair[1], SHUT_RD);

    std::vector<QByteArray> argumentBytes;
    for (const QString& argument : command)
        argumentBytes.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    QByteArray path = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
    QByteArray locale = "LC_ALL=C";
    char* envp[] = { path.data(), locale.data(), nullptr };

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputPair[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t noMask;
    sigemptyset(&noMask);
    posix_spawnattr_setsigmask(&attributes, &noMask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(inputPair[0]);
    ::close(outputPipe[1]);
    int inputFd = inputPair[1];
    int outputFd = outputPipe[0];
    if (spawned != 0) {
        closeFd(inputFd);
        closeFd(outputFd);
        result.status = 127;
        return result;
    }
    setNonBlocking(inputFd);
    setNonBlocking(outputFd);

    qsizetype written = 0;
    if (input.isEmpty())
        closeFd(inputFd);
    QDeadlineTimer deadline(qint64(timeoutSeconds_) * 1000);
    bool killed = false;
    QDeadlineTimer afterKill;
    char buffer[65536];
    while (outputFd >= 0) {
        if (!killed && deadline.hasExpired()) {
            ::kill(child, SIGKILL);
            killed = true;
            closeFd(inputFd);
            afterKill = QDeadlineTimer(2000);  // a grandchild may still hold the pipe
        }
        if (killed && afterKill.hasExpired())
            break;
        pollfd fds[2];
        nfds_t count = 0;
        fds[count++] = { outputFd, POLLIN, 0 };
        if (inputFd >= 0)
            fds[count++] = { inputFd, POLLOUT, 0 };
        const int wait = killed ? int(afterKill.remainingTime()) : int(deadline.remainingTime());
        if (::poll(fds, count, wait) < 0 && errno != EINTR)
            break;
        if (count == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = ::send(inputFd, input.constData() + written, input.size() - written, MSG_NOSIGNAL);
            if (n > 0)
                written += n;
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                closeFd(inputFd);  // all fed, or the tool stopped reading: it sees the end
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::read(outputFd, buffer, sizeof(buffer));
            if (n > 0) {
                const QByteArray chunk(buffer, n);
                result.output.append(chunk);
                if (onOutput)
                    onOutput(chunk);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                closeFd(outputFd);
            }
        }
    }
    closeFd(inputFd);
    closeFd(outputFd);

    // The tool may close its output and still run: wait for its end within the deadline too.
    if (!killed) {
        const int pidFd = int(::syscall(SYS_pidfd_open, child, 0));
        if (pidFd >= 0) {
            pollfd p { pidFd, POLLIN, 0 };
            int ready;
            while ((ready = ::poll(&p, 1, int(deadline.remainingTime()))) < 0 && errno == EINTR) { }
            if (ready == 0)
                ::kill(child, SIGKILL);
            ::close(pidFd);
        }
    }
    int waitStatus = 0;
    while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) { }
    result.status = statusOf(waitStatus);
    return result;
}

#pragma once

#include <QString>
#include <expected>

// Where the daemon's listening socket comes from: systemd hands it over on socket activation;
// tests and manual runs bind a path of their own.
class SocketActivation {
public:
    // The socket passed by systemd (LISTEN_PID, LISTEN_FDS), which must be a listening Unix
    // stream socket; the variables are removed so children do not see them.
    static std::expected<int, QString> fromEnvironment();
    // Binds and listens on `path`, replacing a stale socket file there; mode 0666 because
    // clients of every user connect and are told apart by their signature.
    static std::expected<int, QString> listenOn(const QString& path);
};

#pragma once

#include "ErrorSending.h"

#include <QVariantMap>
#include <memory>
#include <optional>

class User;

// The small front every part uses to report one error or message. All senders share the one
// hub; each report works on its own copy of the hub's scope, so a report's level, tags and
// extras never leak into another report. send() may be called from any thread.
class ErrorSender {
public:
    // Also sets the process to ignore SIGPIPE, so a write to a closed socket fails with an
    // error instead of ending the process.
    explicit ErrorSender(std::shared_ptr<ErrorSending> sentryHub);

    std::shared_ptr<ErrorSending> sentryHub;

    // Starts error reporting for the process: release, dist and environment from the bundle,
    // the "flavor" tag, and the signed-in user of `user` when there is one. Called once at launch.
    static void start(const User& user);

    void send(const Error& error, const std::optional<QVariantMap>& extras = std::nullopt);
    void sendMessage(const QString& message);
    void setUser(const std::optional<ReportUser>& user);

    // The fixed project key of the reports.
    static inline const QString dsn = QStringLiteral("tqmrnvboe");
};

#pragma once

#include "Error.h"
#include "ReportOptions.h"
#include "ReportScope.h"
#include "ReportUser.h"

#include <QMutex>
#include <functional>
#include <memory>
#include <optional>

class UploadQueue;

// The error-reporting hub: the current scope (tags set at start-up, level, extras), the user,
// and the client that turns captures into JSON reports and delivers them in batches over
// HTTPS. Until a client is bound (ErrorReports::start) captures are dropped.
//
// Every capture takes the scope it is given by value: changing that copy never touches the
// hub's scope, and concurrent captures never see each other's level or extras.
// Callable from any thread.
//
// Wire form of one report:
//   {"type": "event", "event_id": 32 hex digits, "timestamp": ISO 8601 UTC, "level": "error",
//    "release", "dist", "environment", "tags": {...}, "extra": {...}, "user": {"id", "username"},
//    "message": text | "exception": {"domain", "code", "message", "chain": [{...}, ...]}}
class ErrorReportHub {
public:
    ErrorReportHub();
    ~ErrorReportHub();

    void bindClient(ReportOptions options);
    bool isEnabled() const;
    ReportOptions options() const;

    void setUser(std::optional<ReportUser> user);
    std::optional<ReportUser> user() const;

    // The hub's current scope, as a copy.
    ReportScope getScope() const;
    void configureScope(const std::function<void(ReportScope&)>& change);

    // Both return the new report's id, or an empty text when nothing was captured.
    QString captureError(const Error& error, const ReportScope& scope);
    QString captureMessage(const QString& message, const ReportScope& scope);

    void flush();
    // The delivery queue (nullptr before a client is bound).
    UploadQueue* queue() const;

private:
    QString capture(QJsonObject body, const ReportScope& scope);

    mutable QMutex mutex_;
    ReportScope scope_;
    std::optional<ReportUser> user_;
    std::optional<ReportOptions> options_;
    std::shared_ptr<UploadQueue> queue_;
};

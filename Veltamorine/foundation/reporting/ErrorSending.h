#pragma once

#include "Error.h"
#include "ReportScope.h"
#include "ReportUser.h"

#include <QString>
#include <optional>

// The error-reporting hub as the application uses it. ErrorReportHubSending binds it to the
// process's hub.
class ErrorSending {
public:
    virtual ~ErrorSending() = default;

    virtual void setUser(const std::optional<ReportUser>& user) = 0;
    // Both return the report's id.
    virtual QString captureError(const Error& error, const ReportScope& scope) = 0;
    virtual QString captureMessage(const QString& message, const ReportScope& scope) = 0;
    // A copy of the hub's current scope.
    virtual ReportScope getScope() = 0;
};

#pragma once

#include "ErrorReportHub.h"
#include "ErrorSending.h"

#include <memory>

// The error-reporting hub as an ErrorSending sink; each operation forwards one to one.
class ErrorReportHubSending final : public ErrorSending {
public:
    explicit ErrorReportHubSending(std::shared_ptr<ErrorReportHub> hub);

    void setUser(const std::optional<ReportUser>& user) override;
    QString captureError(const Error& error, const ReportScope& scope) override;
    QString captureMessage(const QString& message, const ReportScope& scope) override;
    ReportScope getScope() override;

    const std::shared_ptr<ErrorReportHub>& hub() const { return hub_; }

private:
    std::shared_ptr<ErrorReportHub> hub_;
};

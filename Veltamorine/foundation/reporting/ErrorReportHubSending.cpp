#include "ErrorReportHubSending.h"

ErrorReportHubSending::ErrorReportHubSending(std::shared_ptr<ErrorReportHub> hub) : hub_(std::move(hub)) {}

void ErrorReportHubSending::setUser(const std::optional<ReportUser>& user)
{
    hub_->setUser(user);
}

QString ErrorReportHubSending::captureError(const Error& error, const ReportScope& scope)
{
    return hub_->captureError(error, scope);
}

QString ErrorReportHubSending::captureMessage(const QString& message, const ReportScope& scope)
{
    return hub_->captureMessage(message, scope);
}

ReportScope ErrorReportHubSending::getScope()
{
    return hub_->getScope();
}

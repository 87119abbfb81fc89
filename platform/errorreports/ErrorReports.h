#pragma once

#include "ErrorReportHub.h"

#include <memory>

// The process-wide error reporting: one hub, started once at launch.
class ErrorReports {
public:
    // Binds a client with these options to the current hub. An empty endpoint is taken from the
    // information dictionary ("Error Reports Endpoint"), and with no trusted certificates given
    // the CA it names is trusted. Starting again with the same endpoint keeps the queue and its
    // pending reports.
    static void start(ReportOptions options);
    static std::shared_ptr<ErrorReportHub> currentHub();
    static void configureScope(const std::function<void(ReportScope&)>& change);
    // Replaces the current hub by a fresh, unstarted one (tests).
    static void close();
};

#pragma once

#include <QString>

// The user attached to later reports.
struct ReportUser {
    QString userId;
    QString username;

    bool operator==(const ReportUser&) const = default;
};

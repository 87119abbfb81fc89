#pragma once

#include "ReportLevel.h"

#include <QMap>
#include <QString>
#include <QVariantMap>

// What a report carries besides its error or message: level, tags and extra values.
// A plain value: every report works on its own copy, so one report's changes never leak into
// another's or into the hub's scope.
struct ReportScope {
    ReportLevel level = ReportLevel::Error;
    QMap<QString, QString> tags;
    QVariantMap extras;

    bool operator==(const ReportScope&) const = default;
};

#pragma once

#include <QString>
#include <optional>

// How serious a report is; the raw values are the reporting service's.
enum class ReportLevel { None = 0, Debug = 1, Info = 2, Warning = 3, Error = 4, Fatal = 5 };

int toRaw(ReportLevel level);
std::optional<ReportLevel> reportLevelFromRaw(int raw);
// The wire name: "debug", "info", "warning", "error", "fatal" ("" for None).
QString reportLevelName(ReportLevel level);

#include "ReportLevel.h"

int toRaw(ReportLevel level)
{
    return int(level);
}

std::optional<ReportLevel> reportLevelFromRaw(int raw)
{
    if (raw < int(ReportLevel::None) || raw > int(ReportLevel::Fatal))
        return std::nullopt;
    return ReportLevel(raw);
}

QString reportLevelName(ReportLevel level)
{
    switch (level) {
    case ReportLevel::None: return {};
    case ReportLevel::Debug: return QStringLiteral("debug");
    case ReportLevel::Info: return QStringLiteral("info");
    case ReportLevel::Warning: return QStringLiteral("warning");
    case ReportLevel::Error: return QStringLiteral("error");
    case ReportLevel::Fatal: return QStringLiteral("fatal");
    }
    return {};
}

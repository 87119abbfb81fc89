#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QVariant>
#include <QVariantMap>

// Event and people properties: text keys and values of the kinds the analytics service takes
// (text, whole and floating-point numbers, booleans, dates, URLs, null, and lists and maps
// of these).
using AnalyticsProperties = QVariantMap;

namespace AnalyticsValue {
// Whether `value` (recursively, for lists and maps) is one of the kinds above.
bool isRepresentable(const QVariant& value);
// The wire form: dates become ISO 8601 UTC text with milliseconds, URLs their text.
QJsonValue toJson(const QVariant& value);
QJsonObject toJson(const AnalyticsProperties& properties);
}

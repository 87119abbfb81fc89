#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QVariant>
#include <optional>

// The on-disk form of one stored value: a JSON object {"type": ..., "value": ...} whose type is
// one of "bool", "integer", "double", "string", "data", "date", "array", "dictionary", so that
// an integer 2 and the text "2" stay apart after a reload.
namespace TaggedValue {

// The form a value is kept in memory: integers as qlonglong, floats as double, dates in UTC,
// string lists and hashes as variant lists and maps. Absent for kinds the store cannot keep.
std::optional<QVariant> normalized(const QVariant& value);

// `value` must be normalized.
QJsonObject encode(const QVariant& value);

// Absent when the JSON is not a well-formed tagged value.
std::optional<QVariant> decode(const QJsonValue& json);

}

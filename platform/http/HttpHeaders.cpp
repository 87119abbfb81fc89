#include "HttpHeaders.h"

namespace {

bool sameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}

HttpHeaders::HttpHeaders(std::initializer_list<QPair<QByteArray, QByteArray>> fields)
    : fields_(fields)
{
}

HttpHeaders HttpHeaders::fromMap(const QMap<QString, QString>& map)
{
    HttpHeaders headers;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        headers.set(it.key().toUtf8(), it.value().toUtf8());
    return headers;
}

void HttpHeaders::set(const QByteArray& name, const QByteArray& value)
{
    qsizetype kept = -1;
    for (qsizetype i = 0; i < fields_.size();) {
        if (!sameName(fields_[i].first, name)) {
            ++i;
        } else if (kept < 0) {
            fields_[i].second = value;
            kept = i++;
        } else {
            fields_.removeAt(i);
        }
    }
    if (kept < 0)
        fields_.append({name, value});
}

void HttpHeaders::add(const QByteArray& name, const QByteArray& value)
{
    fields_.append({name, value});
}

void HttpHeaders::remove(const QByteArray& name)
{
    fields_.removeIf([&](const auto& field) { return sameName(field.first, name); });
}

bool HttpHeaders::contains(const QByteArray& name) const
{
    for (const auto& field : fields_) {
        if (sameName(field.first, name))
            return true;
    }
    return false;
}

QByteArray HttpHeaders::value(const QByteArray& name) const
{
    for (const auto& field : fields_) {
        if (sameName(field.first, name))
            return field.second;
    }
    return {};
}

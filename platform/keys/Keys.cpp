#include "Keys.h"

#include "KeysTable.h"

std::optional<QString> Keys::value(QStringView name)
{
    for (const auto& [key, text] : KeysTable::entries) {
        if (name == QLatin1StringView(key.data(), qsizetype(key.size())))
            return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    return std::nullopt;
}

QString Keys::required(QStringView name)
{
    return value(name).value_or(QString());
}

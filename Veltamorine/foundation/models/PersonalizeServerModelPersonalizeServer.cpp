#include "PersonalizeServerModelPersonalizeServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

using Record = PersonalizeServerModelPersonalizeServer;

namespace {

const QLatin1StringView classKey{"$class"};
const QLatin1StringView identifierKey{"identifier"};
const QLatin1StringView likedKey{"liked"};

std::optional<Record> recordFromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue className = object.value(classKey);
    const QJsonValue identifier = object.value(identifierKey);
    const QJsonValue liked = object.value(likedKey);
    if (className.toString() != Record::archiveClassName || !identifier.isString() || !liked.isBool())
        return std::nullopt;
    return Record(identifier.toString(), liked.toBool());
}

}

QByteArray Record::archive(const Dictionary& dictionary)
{
    QJsonObject root;
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
        QJsonArray records;
        for (const Record& record : it.value()) {
            records.append(QJsonObject{
                {classKey, QString(archiveClassName)},
                {identifierKey, record.identifier},
                {likedKey, record.liked},
            });
        }
        root.insert(it.key(), records);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<Record::Dictionary> Record::unarchive(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    Dictionary dictionary;
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (!it.value().isArray())
            return std::nullopt;
        QList<Record> records;
        for (const QJsonValue& element : it.value().toArray()) {
            std::optional<Record> record = recordFromJson(element);
            if (!record)
                return std::nullopt;
            records.append(*record);
        }
        dictionary.insert(it.key(), records);
    }
    return dictionary;
}

std::optional<QString> Record::joinedIdentifiers(const std::optional<Dictionary>& dictionary,
                                                 const std::optional<QString>& key, bool liked)
{
    if (!key || !dictionary || dictionary->isEmpty())
        return std::nullopt;
    const auto entry = dictionary->constFind(*key);
    if (entry == dictionary->cend())
        return std::nullopt;
    QStringList identifiers;
    for (const Record& record : entry.value()) {
        if (record.liked == liked)
            identifiers.append(record.identifier);
    }
    return identifiers.join(u',');
}

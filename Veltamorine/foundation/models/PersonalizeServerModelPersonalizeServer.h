#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// One liked or disliked server of personalised server selection.
// PersonalizeServerModel (vpn) exposes it as PersonalizeServerModel::PersonalizeServer.
class PersonalizeServerModelPersonalizeServer {
public:
    // Location key -> the records of that location, in the order they were added.
    using Dictionary = QMap<QString, QList<PersonalizeServerModelPersonalizeServer>>;

    // The class name recorded in archives; stored data depends on it.
    static constexpr QLatin1StringView archiveClassName{"PersonalizeServer"};

    PersonalizeServerModelPersonalizeServer(QString identifier, bool liked)
        : identifier(std::move(identifier)), liked(liked) {}

    QString identifier;
    bool liked;

    bool operator==(const PersonalizeServerModelPersonalizeServer&) const = default;

    // The stored form of a dictionary: a JSON document whose root maps each location key to a list
    // of records {"$class": "PersonalizeServer", "identifier": text, "liked": bool}.
    static QByteArray archive(const Dictionary& dictionary);
    // None for anything but such a document (not JSON, another root, a record of another class
    // or with a mistyped field).
    static std::optional<Dictionary> unarchive(const QByteArray& data);

    // The identifiers of the records under `key` whose `liked` equals `liked`, in list order,
    // joined with ","; none when the key or the dictionary is missing or the dictionary is empty,
    // the empty text when the entry holds no such record.
    static std::optional<QString> joinedIdentifiers(const std::optional<Dictionary>& dictionary,
                                                    const std::optional<QString>& key, bool liked);
};

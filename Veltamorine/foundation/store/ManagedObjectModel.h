#pragma once

#include <QList>
#include <QString>

// The kinds of value an entity attribute holds, and how the store keeps them.
enum class AttributeType {
    String,   // TEXT
    Integer,  // INTEGER (64 bits)
    Double,   // REAL
    Boolean,  // INTEGER 0 / 1
    Date,     // INTEGER milliseconds since 1970 (UTC)
};

struct AttributeDescription {
    QString name;
    AttributeType type = AttributeType::String;
};

struct EntityDescription {
    QString name;
    QList<AttributeDescription> attributes;

    const AttributeDescription* attribute(const QString& attributeName) const;
};

// The data model of a store: its entities and a version number. Each entity is one table with
// a row id "Z_PK" and one column per attribute. A store made by an older version is brought
// up to date on opening: missing tables and columns are added (existing rows keep their values,
// new attributes read as empty), then the store's version is raised. Attributes and entities
// are only ever added between versions, never renamed or retyped.
struct ManagedObjectModel {
    QString name;
    int version = 1;
    QList<EntityDescription> entities;

    const EntityDescription* entity(const QString& entityName) const;
};

#pragma once

#include "ManagedObject.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

// A condition on a record's attributes.
class Predicate {
public:
    // The whole value matches `pattern`, where "*" stands for any run of characters and "?" for
    // one; letter case counts. An empty value matches like the empty text.
    static Predicate like(const QString& key, const QString& pattern);
    // Numbers compare by value whatever their kind; other values must be equal.
    static Predicate equals(const QString& key, const QVariant& value);
    static Predicate all(QList<Predicate> predicates);
    static Predicate any(QList<Predicate> predicates);

    bool evaluate(const ManagedObject& object) const;

private:
    enum class Kind { Like, Equals, All, Any };
    Kind kind_ = Kind::All;
    QString key_;
    QVariant value_;
    QList<Predicate> children_;
};

struct SortDescriptor {
    QString key;
    bool ascending = true;
};

// What to fetch: the records of one entity, optionally filtered and sorted.
struct FetchRequest {
    QString entityName;
    std::optional<Predicate> predicate;
    QList<SortDescriptor> sortDescriptors;

    static FetchRequest forEntity(const QString& entityName) { return FetchRequest{entityName, std::nullopt, {}}; }
};

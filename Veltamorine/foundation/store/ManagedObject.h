#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

class ManagedObjectContext;

// One record of an entity, owned by its context. Values are read and written by attribute name;
// the context saves inserted, changed and deleted records together. Main thread only.
class ManagedObject {
public:
    QString entityName() const { return entityName_; }
    // The row id in the store; 0 until the record's first save.
    qint64 objectId() const { return objectId_; }

    // The attribute's value; invalid when it is empty or not an attribute of the entity.
    QVariant value(const QString& key) const { return values_.value(key); }
    // Unknown attribute names are ignored.
    void setValue(const QString& key, const QVariant& value);
    QVariantMap values() const { return values_; }

    bool isInserted() const { return inserted_; }
    bool isDeleted() const { return deleted_; }
    bool isUpdated() const { return !inserted_ && !deleted_ && values_ != committed_; }
    bool hasChanges() const { return inserted_ || deleted_ || values_ != committed_; }

private:
    friend class ManagedObjectContext;
    friend class PersistentStoreCoordinator;
    ManagedObject(QString entityName, QStringList attributes);

    QString entityName_;
    QStringList attributes_;
    qint64 objectId_ = 0;
    QVariantMap values_;
    QVariantMap committed_;
    bool inserted_ = false;
    bool deleted_ = false;
};

using ManagedObjectPtr = std::shared_ptr<ManagedObject>;

#pragma once

#include "Error.h"
#include "ManagedObject.h"
#include "ManagedObjectModel.h"

#include <QList>
#include <QString>
#include <QVariantMap>
#include <expected>

// Connects a data model to its SQLite store file: opens the file, brings an older store up to
// the model's version, reads an entity's rows and writes a set of changes in one transaction.
// Main thread only.
class PersistentStoreCoordinator {
public:
    explicit PersistentStoreCoordinator(ManagedObjectModel model);
    ~PersistentStoreCoordinator();
    PersistentStoreCoordinator(const PersistentStoreCoordinator&) = delete;
    PersistentStoreCoordinator& operator=(const PersistentStoreCoordinator&) = delete;

    const ManagedObjectModel& managedObjectModel() const { return model_; }

    // Opens (creating when needed) the store at `path` and migrates it to the model's version.
    // A store written by a newer model version is refused and left untouched.
    std::expected<void, Error> addSQLiteStore(const QString& path);
    bool hasStore() const { return !connection_.isEmpty(); }
    QString storePath() const { return path_; }
    // The store's schema version (PRAGMA user_version).
    std::expected<int, Error> storeVersion() const;

    struct Row {
        qint64 objectId;
        QVariantMap values;
    };
    std::expected<QList<Row>, Error> rows(const EntityDescription& entity) const;

    // Writes inserts, updates and deletes together, or nothing. On success returns the new row
    // ids of the inserted records, in order.
    std::expected<QList<qint64>, Error> save(const QList<ManagedObject*>& inserted, const QList<ManagedObject*>& updated,
                                             const QList<ManagedObject*>& deleted);

private:
    std::expected<void, Error> migrate();

    ManagedObjectModel model_;
    QString connection_;
    QString path_;
};

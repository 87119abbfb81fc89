#pragma once

#include "Error.h"
#include "FetchRequest.h"
#include "ManagedObject.h"

#include <QHash>
#include <QList>
#include <expected>

class PersistentStoreCoordinator;

// The working set of records over a store, bound to the main thread: records are inserted,
// changed and deleted here and reach the store together on save(). A fetch sees the context's
// unsaved changes. Each stored record is one object per context, so two fetches return the
// same object.
class ManagedObjectContext {
public:
    explicit ManagedObjectContext(PersistentStoreCoordinator& coordinator);

    PersistentStoreCoordinator& persistentStoreCoordinator() const { return coordinator_; }

    // A new record of `entityName`, inserted into the context; fails with
    // CoreDataServiceErrors::EntityDescriptionIsNil when the model has no such entity.
    std::expected<ManagedObjectPtr, Error> insertNewObject(const QString& entityName);
    void deleteObject(const ManagedObjectPtr& object);
    std::expected<QList<ManagedObjectPtr>, Error> fetch(const FetchRequest& request);

    bool hasChanges() const;
    // Writes every change in one transaction. On failure nothing is written and the changes
    // stay in the context.
    std::expected<void, Error> save();

private:
    PersistentStoreCoordinator& coordinator_;
    QList<ManagedObjectPtr> inserted_;
    QHash<QString, QHash<qint64, ManagedObjectPtr>> registered_;
};

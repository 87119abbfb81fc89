#pragma once

#include "ManagedObjectContext.h"
#include "ManagedObjectModel.h"
#include "PersistentStoreCoordinator.h"

#include <QString>
#include <memory>
#include <optional>

// The local entity store: the data model, its SQLite store "Veltamorine.sqlite" in the
// application's data folder, and one context bound to the main thread. Each part is built on
// first use and then kept. A store that cannot be opened is reported once; the coordinator then
// stays without a store, and fetches and saves fail. Main thread only.
class CoreDataService {
public:
    static inline const QString storeFileName = QStringLiteral("Veltamorine.sqlite");

    // The application's store: its model, in the bundle's application-support folder.
    static CoreDataService& shared();

    CoreDataService();
    // A store of `model` in `storeFolder` (tests, tools).
    CoreDataService(QString storeFolder, ManagedObjectModel model);
    ~CoreDataService();
    CoreDataService(const CoreDataService&) = delete;
    CoreDataService& operator=(const CoreDataService&) = delete;

    const ManagedObjectModel& managedObjectModel();
    PersistentStoreCoordinator& persistantStoreCoordinator();
    ManagedObjectContext& managedObjectContext();

    // Saves the context when it has changes; a failure is reported and logged, and the changes
    // stay in the context.
    void saveContext();

    QString storePath() const;

private:
    std::optional<QString> storeFolder_;
    std::optional<ManagedObjectModel> model_;
    std::unique_ptr<PersistentStoreCoordinator> coordinator_;
    std::unique_ptr<ManagedObjectContext> context_;
};

// The shared store's context, for the entity code.
ManagedObjectContext& coreDataContext();

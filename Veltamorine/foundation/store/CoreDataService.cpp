#include "CoreDataService.h"

#include "Bundle.h"
#include "Factories.h"
#include "FoundationLog.h"
#include "MainQueue.h"
#include "VeltamorineModel.h"

#include <QDir>
#include <QFile>

CoreDataService& CoreDataService::shared()
{
    static CoreDataService service;
    return service;
}

CoreDataService::CoreDataService() = default;

CoreDataService::CoreDataService(QString storeFolder, ManagedObjectModel model)
    : storeFolder_(std::move(storeFolder)), model_(std::move(model))
{
}

CoreDataService::~CoreDataService() = default;

QString CoreDataService::storePath() const
{
    const QString folder = storeFolder_ ? *storeFolder_ : Bundle::main().applicationSupportDirectory();
    return QDir(folder).filePath(storeFileName);
}

const ManagedObjectModel& CoreDataService::managedObjectModel()
{
    if (!model_)
        model_ = veltamorineModel();
    return *model_;
}

PersistentStoreCoordinator& CoreDataService::persistantStoreCoordinator()
{
    if (coordinator_)
        return *coordinator_;
    Q_ASSERT(MainQueue::isMainThread());
    coordinator_ = std::make_unique<PersistentStoreCoordinator>(managedObjectModel());
    const QString path = storePath();
    const QString folder = QFileInfo(path).absolutePath();
    // A fresh installation has no data folder yet; the store cannot open without one.
    std::expected<void, Error> added;
    if (!QDir().mkpath(folder)) {
        added = std::unexpected(Error(QStringLiteral("VeltamorineStore"), 4, QStringLiteral("Cannot create ") + folder));
    } else {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        added = coordinator_->addSQLiteStore(path);
    }
    if (!added) {
        makeErrorSender().send(added.error());
        qCWarning(lcFoundation).noquote() << "Error in adding persistance store: " + added.error().message;
    }
    return *coordinator_;
}

ManagedObjectContext& CoreDataService::managedObjectContext()
{
    if (!context_)
        context_ = std::make_unique<ManagedObjectContext>(persistantStoreCoordinator());
    return *context_;
}

void CoreDataService::saveContext()
{
    ManagedObjectContext& context = managedObjectContext();
    if (!context.hasChanges())
        return;
    if (const auto saved = context.save(); !saved) {
        makeErrorSender().send(saved.error());
        qCWarning(lcFoundation).noquote() << "Error in saving managed object: " + saved.error().message;
    }
}

ManagedObjectContext& coreDataContext()
{
    static ManagedObjectContext& context = CoreDataService::shared().managedObjectContext();
    return context;
}

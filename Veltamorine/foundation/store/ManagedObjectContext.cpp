#include "ManagedObjectContext.h"

#include "CoreDataServiceErrors.h"
#include "MainQueue.h"
#include "PersistentStoreCoordinator.h"

#include <QDateTime>
#include <algorithm>

namespace {

QStringList attributeNames(const EntityDescription& entity)
{
    QStringList names;
    for (const AttributeDescription& a : entity.attributes)
        names << a.name;
    return names;
}

// Orders values of one attribute: empty first, then numbers, dates and text by value.
int compareValues(const QVariant& a, const QVariant& b)
{
    if (!a.isValid() || !b.isValid())
        return int(a.isValid()) - int(b.isValid());
    if (a.typeId() == QMetaType::QDateTime && b.typeId() == QMetaType::QDateTime)
        return a.toDateTime() < b.toDateTime() ? -1 : (b.toDateTime() < a.toDateTime() ? 1 : 0);
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString().compare(b.toString());
    const double x = a.toDouble();
    const double y = b.toDouble();
    return x < y ? -1 : (y < x ? 1 : 0);
}

}

ManagedObjectContext::ManagedObjectContext(PersistentStoreCoordinator& coordinator) : coordinator_(coordinator) {}

std::expected<ManagedObjectPtr, Error> ManagedObjectContext::insertNewObject(const QString& entityName)
{
    Q_ASSERT(MainQueue::isMainThread());
    const EntityDescription* entity = coordinator_.managedObjectModel().entity(entityName);
    if (!entity)
        return std::unexpected(makeError(CoreDataServiceErrors::EntityDescriptionIsNil, entityName));
    ManagedObjectPtr object(new ManagedObject(entityName, attributeNames(*entity)));
    object->inserted_ = true;
    inserted_.append(object);
    return object;
}

void ManagedObjectContext::deleteObject(const ManagedObjectPtr& object)
{
    Q_ASSERT(MainQueue::isMainThread());
    if (!object)
        return;
    if (object->inserted_) {
        inserted_.removeOne(object);
        object->inserted_ = false;
        return;
    }
    object->deleted_ = true;
}

std::expected<QList<ManagedObjectPtr>, Error> ManagedObjectContext::fetch(const FetchRequest& request)
{
    Q_ASSERT(MainQueue::isMainThread());
    const EntityDescription* entity = coordinator_.managedObjectModel().entity(request.entityName);
    if (!entity)
        return std::unexpected(makeError(CoreDataServiceErrors::EntityDescriptionIsNil, request.entityName));
    const auto rows = coordinator_.rows(*entity);
    if (!rows)
        return std::unexpected(rows.error());

    auto& known = registered_[entity->name];
    QList<ManagedObjectPtr> candidates;
    for (const auto& row : *rows) {
        ManagedObjectPtr& object = known[row.objectId];
        if (!object) {
            object.reset(new ManagedObject(entity->name, attributeNames(*entity)));
            object->objectId_ = row.objectId;
            object->values_ = row.values;
            object->committed_ = row.values;
        }
        if (!object->deleted_)
            candidates.append(object);
    }
    for (const ManagedObjectPtr& object : inserted_)
        if (object->entityName() == entity->name)
            candidates.append(object);

    QList<ManagedObjectPtr> out;
    for (const ManagedObjectPtr& object : candidates)
        if (!request.predicate || request.predicate->evaluate(*object))
            out.append(object);
    if (!request.sortDescriptors.isEmpty()) {
        std::stable_sort(out.begin(), out.end(), [&](const ManagedObjectPtr& a, const ManagedObjectPtr& b) {
            for (const SortDescriptor& s : request.sortDescriptors) {
                const int c = compareValues(a->value(s.key), b->value(s.key));
                if (c != 0)
                    return s.ascending ? c < 0 : c > 0;
            }
            return false;
        });
    }
    return out;
}

bool ManagedObjectContext::hasChanges() const
{
    if (!inserted_.isEmpty())
        return true;
    for (const auto& objects : registered_)
        for (const ManagedObjectPtr& object : objects)
            if (object->hasChanges())
                return true;
    return false;
}

std::expected<void, Error> ManagedObjectContext::save()
{
    Q_ASSERT(MainQueue::isMainThread());
    QList<ManagedObject*> inserted;
    QList<ManagedObject*> updated;
    QList<ManagedObject*> deleted;
    for (const ManagedObjectPtr& object : inserted_)
        inserted.append(object.get());
    for (const auto& objects : registered_)
        for (const ManagedObjectPtr& object : objects) {
            if (object->deleted_)
                deleted.append(object.get());
            else if (object->isUpdated())
                updated.append(object.get());
        }
    const auto ids = coordinator_.save(inserted, updated, deleted);
    if (!ids)
        return std::unexpected(ids.error());

    for (auto& objects : registered_)
        for (auto it = objects.begin(); it != objects.end();) {
            ManagedObject& object = **it;
            if (object.deleted_) {
                it = objects.erase(it);
                continue;
            }
            object.committed_ = object.values_;
            ++it;
        }
    for (int i = 0; i < inserted_.size(); ++i) {
        const ManagedObjectPtr& object = inserted_[i];
        object->objectId_ = ids->value(i);
        object->inserted_ = false;
        object->committed_ = object->values_;
        registered_[object->entityName()].insert(object->objectId_, object);
    }
    inserted_.clear();
    return {};
}

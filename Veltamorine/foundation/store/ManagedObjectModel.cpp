#include "ManagedObjectModel.h"

const AttributeDescription* EntityDescription::attribute(const QString& attributeName) const
{
    for (const AttributeDescription& a : attributes)
        if (a.name == attributeName)
            return &a;
    return nullptr;
}

const EntityDescription* ManagedObjectModel::entity(const QString& entityName) const
{
    for (const EntityDescription& e : entities)
        if (e.name == entityName)
            return &e;
    return nullptr;
}

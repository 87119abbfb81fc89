#pragma once

#include "Error.h"

// Errors of the entity code over the local store.
enum class CoreDataServiceErrors {
    // The store's model has no entity of the requested name.
    EntityDescriptionIsNil,
};

inline const QString coreDataServiceErrorsDomain = QStringLiteral("CoreDataServiceErrors");

inline Error makeError(CoreDataServiceErrors error, const QString& entityName = {})
{
    Q_UNUSED(error)
    return Error(coreDataServiceErrorsDomain, 0,
                 QStringLiteral("No entity description for \"%1\"").arg(entityName));
}

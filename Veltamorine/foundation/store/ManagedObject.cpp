#include "ManagedObject.h"

#include "FoundationLog.h"

ManagedObject::ManagedObject(QString entityName, QStringList attributes)
    : entityName_(std::move(entityName)), attributes_(std::move(attributes))
{
}

void ManagedObject::setValue(const QString& key, const QVariant& value)
{
    if (!attributes_.contains(key)) {
        qCWarning(lcFoundation) << entityName_ << "has no attribute" << key;
        return;
    }
    if (value.isValid())
        values_.insert(key, value);
    else
        values_.remove(key);
}

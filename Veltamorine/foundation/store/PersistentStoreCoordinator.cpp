#include "PersistentStoreCoordinator.h"

#include "FoundationLog.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimeZone>
#include <QUuid>

namespace {

const QString storeDomain = QStringLiteral("VeltamorineStore");
const QString rowIdColumn = QStringLiteral("Z_PK");

QString quoted(const QString& identifier)
{
    QString q = identifier;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString columnType(AttributeType type)
{
    switch (type) {
    case AttributeType::String: return QStringLiteral("TEXT");
    case AttributeType::Double: return QStringLiteral("REAL");
    case AttributeType::Integer:
    case AttributeType::Boolean:
    case AttributeType::Date: return QStringLiteral("INTEGER");
    }
    return QStringLiteral("TEXT");
}

Error sqlError(const QSqlError& e, const QString& what)
{
    return Error(storeDomain, e.nativeErrorCode().toInt(), what + QStringLiteral(": ") + e.text());
}

QVariant toColumn(const QVariant& value, AttributeType type)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (type) {
    case AttributeType::String: return value.toString();
    case AttributeType::Integer: return value.toLongLong();
    case AttributeType::Double: return value.toDouble();
    case AttributeType::Boolean: return value.toBool() ? 1 : 0;
    case AttributeType::Date: return value.toDateTime().toMSecsSinceEpoch();
    }
    return QVariant();
}

QVariant fromColumn(const QVariant& value, AttributeType type)
{
    if (value.isNull())
        return QVariant();
    switch (type) {
    case AttributeType::String: return value.toString();
    case AttributeType::Integer: return value.toLongLong();
    case AttributeType::Double: return value.toDouble();
    case AttributeType::Boolean: return value.toLongLong() != 0;
    case AttributeType::Date: return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), QTimeZone::utc());
    }
    return QVariant();
}

}

PersistentStoreCoordinator::PersistentStoreCoordinator(ManagedObjectModel model) : model_(std::move(model)) {}

PersistentStoreCoordinator::~PersistentStoreCoordinator()
{
    if (connection_.isEmpty())
        return;
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);
}

std::expected<void, Error> PersistentStoreCoordinator::addSQLiteStore(const QString& path)
{
    if (hasStore())
        return std::unexpected(Error(storeDomain, 1, QStringLiteral("The coordinator already has a store")));
    const QString name = QStringLiteral("veltamorine-store-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            const Error error = sqlError(db.lastError(), QStringLiteral("Cannot open the store"));
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return std::unexpected(error);
        }
    }
    connection_ = name;
    path_ = path;
    if (auto migrated = migrate(); !migrated) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
        connection_.clear();
        path_.clear();
        return migrated;
    }
    return {};
}

std::expected<int, Error> PersistentStoreCoordinator::storeVersion() const
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return std::unexpected(sqlError(q.lastError(), QStringLiteral("Cannot read the store version")));
    return q.value(0).toInt();
}

std::expected<void, Error> PersistentStoreCoordinator::migrate()
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    const auto version = storeVersion();  // also fails on a file that is not a database
    if (!version)
        return std::unexpected(version.error());
    if (*version > model_.version)
        return std::unexpected(Error(storeDomain, 2,
                                     QStringLiteral("The store has version %1, newer than the model's %2")
                                         .arg(*version).arg(model_.version)));
    if (!db.transaction())
        return std::unexpected(sqlError(db.lastError(), QStringLiteral("Cannot start the migration")));
    auto fail = [&](const QSqlQuery& q, const QString& what) {
        const Error error = sqlError(q.lastError(), what);
        db.rollback();
        return std::unexpected(error);
    };
    QSqlQuery q(db);
    for (const EntityDescription& entity : model_.entities) {
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(entity.name))))
            return fail(q, QStringLiteral("Cannot read the table of ") + entity.name);
        QStringList columns;
        while (q.next())
            columns << q.value(1).toString();
        if (columns.isEmpty()) {
            QStringList defs{quoted(rowIdColumn) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT")};
            for (const AttributeDescription& a : entity.attributes)
                defs << quoted(a.name) + QLatin1Char(' ') + columnType(a.type);
            if (!q.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(entity.name), defs.join(QStringLiteral(", ")))))
                return fail(q, QStringLiteral("Cannot create the table of ") + entity.name);
            continue;
        }
        for (const AttributeDescription& a : entity.attributes) {
            if (columns.contains(a.name))
                continue;
            if (!q.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(quoted(entity.name), quoted(a.name), columnType(a.type))))
                return fail(q, QStringLiteral("Cannot add %1 to %2").arg(a.name, entity.name));
        }
    }
    if (*version < model_.version && !q.exec(QStringLiteral("PRAGMA user_version = %1").arg(model_.version)))
        return fail(q, QStringLiteral("Cannot record the store version"));
    if (!db.commit())
        return std::unexpected(sqlError(db.lastError(), QStringLiteral("Cannot finish the migration")));
    if (*version < model_.version)
        qCInfo(lcFoundation) << "store migrated from version" << *version << "to" << model_.version;
    return {};
}

std::expected<QList<PersistentStoreCoordinator::Row>, Error> PersistentStoreCoordinator::rows(const EntityDescription& entity) const
{
    if (!hasStore())
        return std::unexpected(Error(storeDomain, 3, QStringLiteral("The coordinator has no store")));
    QStringList columns{quoted(rowIdColumn)};
    for (const AttributeDescription& a : entity.attributes)
        columns << quoted(a.name);
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                    .arg(columns.join(QStringLiteral(", ")), quoted(entity.name), quoted(rowIdColumn))))
        return std::unexpected(sqlError(q.lastError(), QStringLiteral("Cannot fetch ") + entity.name));
    QList<Row> out;
    while (q.next()) {
        Row row{q.value(0).toLongLong(), {}};
        for (int i = 0; i < entity.attributes.size(); ++i) {
            const QVariant v = fromColumn(q.value(i + 1), entity.attributes[i].type);
            if (v.isValid())
                row.values.insert(entity.attributes[i].name, v);
        }
        out.append(row);
    }
    return out;
}

std::expected<QList<qint64>, Error> PersistentStoreCoordinator::save(const QList<ManagedObject*>& inserted,
                                                                     const QList<ManagedObject*>& updated,
                                                                     const QList<ManagedObject*>& deleted)
{
    if (!hasStore())
        return std::unexpected(Error(storeDomain, 3, QStringLiteral("The coordinator has no store")));
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction())
        return std::unexpected(sqlError(db.lastError(), QStringLiteral("Cannot start saving")));
    QSqlQuery q(db);
    auto fail = [&](const QString& what) {
        const Error error = sqlError(q.lastError(), what);
        db.rollback();
        return std::unexpected(error);
    };
    for (ManagedObject* object : deleted) {
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(quoted(object->entityName()), quoted(rowIdColumn)));
        q.addBindValue(object->objectId());
        if (!q.exec())
            return fail(QStringLiteral("Cannot delete from ") + object->entityName());
    }
    for (ManagedObject* object : updated) {
        const EntityDescription* entity = model_.entity(object->entityName());
        QStringList sets;
        for (const AttributeDescription& a : entity->attributes)
            sets << quoted(a.name) + QStringLiteral(" = ?");
        q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                      .arg(quoted(entity->name), sets.join(QStringLiteral(", ")), quoted(rowIdColumn)));
        for (const AttributeDescription& a : entity->attributes)
            q.addBindValue(toColumn(object->value(a.name), a.type));
        q.addBindValue(object->objectId());
        if (!q.exec())
            return fail(QStringLiteral("Cannot update ") + entity->name);
    }
    QList<qint64> ids;
    for (ManagedObject* object : inserted) {
        const EntityDescription* entity = model_.entity(object->entityName());
        QStringList names;
        QStringList marks;
        for (const AttributeDescription& a : entity->attributes) {
            names << quoted(a.name);
            marks << QStringLiteral("?");
        }
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoted(entity->name), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
        for (const AttributeDescription& a : entity->attributes)
            q.addBindValue(toColumn(object->value(a.name), a.type));
        if (!q.exec())
            return fail(QStringLiteral("Cannot insert into ") + entity->name);
        ids.append(q.lastInsertId().toLongLong());
    }
    if (!db.commit())
        return std::unexpected(sqlError(db.lastError(), QStringLiteral("Cannot finish saving")));
    return ids;
}

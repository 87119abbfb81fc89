#include "Bundle.h"
#include "CoreDataService.h"
#include "CoreDataServiceErrors.h"
#include "ErrorReports.h"
#include "SettingsTestStores.h"
#include "UploadQueue.h"
#include "VeltamorineModel.h"
#include "VirtualScheduler.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

QStringList warnings;

void recordWarning(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg)
        warnings << message;
}

// Runs SQL on a store file outside the service: makes fixtures of older versions and reads back.
class RawStore {
public:
    explicit RawStore(const QString& path) : name_(QStringLiteral("raw-") + path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawStore()
    {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    bool exec(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        return q.exec(sql);
    }
    QVariant scalar(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }

private:
    QString name_;
};

ManagedObjectModel modelVersion(int version)
{
    using T = AttributeType;
    ManagedObjectModel m{QStringLiteral("Test"), version, {{QStringLiteral("Note"), {{QStringLiteral("id"), T::String}, {QStringLiteral("count"), T::Integer}}}}};
    if (version >= 2) {
        m.entities[0].attributes.append({QStringLiteral("seenAt"), T::Date});
        m.entities.append({QStringLiteral("Tag"), {{QStringLiteral("label"), T::String}}});
    }
    return m;
}

class CoreDataServiceTest : public SettingsTestStores {
protected:
    void SetUp() override
    {
        SettingsTestStores::SetUp();
        Scheduler::setMain(&clock);
        ReportOptions options;
        options.endpoint = QUrl(QStringLiteral("https://127.0.0.1:9/reports"));
        ErrorReports::start(options);
        warnings.clear();
        previousHandler = qInstallMessageHandler(recordWarning);
    }
    void TearDown() override
    {
        qInstallMessageHandler(previousHandler);
        ErrorReports::close();
        Scheduler::setMain(nullptr);
        SettingsTestStores::TearDown();
    }

    int reportCount() const { return ErrorReports::currentHub()->queue()->pendingCount(); }
    int warningCount(const QString& prefix) const
    {
        return int(std::count_if(warnings.begin(), warnings.end(), [&](const QString& w) { return w.startsWith(prefix); }));
    }
    QString folder(const QString& name = QStringLiteral("store")) const { return QDir(temp.path()).filePath(name); }

    static ManagedObjectPtr insert(ManagedObjectContext& context, const QString& entity, const QVariantMap& values)
    {
        auto object = context.insertNewObject(entity);
        EXPECT_TRUE(object.has_value());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            (*object)->setValue(it.key(), it.value());
        return *object;
    }

    QTemporaryDir temp;
    VirtualScheduler clock;
    QtMessageHandler previousHandler = nullptr;
};

TEST_F(CoreDataServiceTest, FreshDataFolderOpensTheStore)
{
    const QString storeFolder = QDir(folder()).filePath(QStringLiteral("deeper/com.veltamorine.Veltamorine"));
    CoreDataService service(storeFolder, veltamorineModel());
    ManagedObjectContext& context = service.managedObjectContext();
    EXPECT_TRUE(service.persistantStoreCoordinator().hasStore());
    EXPECT_EQ(service.storePath(), QDir(storeFolder).filePath(QStringLiteral("Veltamorine.sqlite")));
    EXPECT_TRUE(QFile::exists(service.storePath()));
    EXPECT_EQ(QFile::permissions(storeFolder) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    EXPECT_EQ(service.persistantStoreCoordinator().storeVersion(), 1);
    for (const QString& entity : {QStringLiteral("AppNotification"), QStringLiteral("AppError")}) {
        auto rows = context.fetch(FetchRequest::forEntity(entity));
        ASSERT_TRUE(rows.has_value()) << entity.toStdString();
        EXPECT_TRUE(rows->isEmpty());
    }
    EXPECT_EQ(reportCount(), 0);
}

TEST_F(CoreDataServiceTest, SharedStoreLivesInTheApplicationDataFolder)
{
    const Bundle bundle(QJsonObject{{QStringLiteral("Application Bundle identifier"), QStringLiteral("com.veltamorine.Test")}});
    Bundle::setMain(&bundle);
    CoreDataService service;
    EXPECT_EQ(service.storePath(), QDir(bundle.applicationSupportDirectory()).filePath(QStringLiteral("Veltamorine.sqlite")));
    EXPECT_EQ(service.managedObjectModel().name, QStringLiteral("Veltamorine"));
    Bundle::setMain(nullptr);
}

TEST_F(CoreDataServiceTest, SavedValuesComeBackWithTheirTypes)
{
    const QDateTime created(QDate(2026, 2, 3), QTime(4, 5, 6, 789), QTimeZone::utc());
    {
        CoreDataService service(folder(), veltamorineModel());
        ManagedObjectContext& context = service.managedObjectContext();
        insert(context, QStringLiteral("AppNotification"),
               {{QStringLiteral("id"), QStringLiteral("doc-1")}, {QStringLiteral("createdAt"), created},
                {QStringLiteral("appVersionFrom"), 2.0000100003}, {QStringLiteral("username"), QStringLiteral("vpn-user")}});
        insert(context, QStringLiteral("AppError"), {{QStringLiteral("id"), QStringLiteral("e-1")}, {QStringLiteral("code"), -99999}});
        EXPECT_TRUE(context.hasChanges());
        service.saveContext();
        EXPECT_FALSE(context.hasChanges());
    }
    CoreDataService reopened(folder(), veltamorineModel());
    auto notes = reopened.managedObjectContext().fetch(FetchRequest::forEntity(QStringLiteral("AppNotification")));
    ASSERT_TRUE(notes.has_value());
    ASSERT_EQ(notes->size(), 1);
    const ManagedObjectPtr note = notes->first();
    EXPECT_GT(note->objectId(), 0);
    EXPECT_EQ(note->value(QStringLiteral("id")).toString(), QStringLiteral("doc-1"));
    EXPECT_EQ(note->value(QStringLiteral("createdAt")).toDateTime(), created);
    EXPECT_DOUBLE_EQ(note->value(QStringLiteral("appVersionFrom")).toDouble(), 2.0000100003);
    EXPECT_FALSE(note->value(QStringLiteral("title")).isValid());
    auto errors = reopened.managedObjectContext().fetch(FetchRequest::forEntity(QStringLiteral("AppError")));
    ASSERT_EQ(errors->size(), 1);
    EXPECT_EQ(errors->first()->value(QStringLiteral("code")).toLongLong(), -99999);
}

TEST_F(CoreDataServiceTest, OlderStoreVersionOpensAndMigrates)
{
    QDir().mkpath(folder());
    const QString path = QDir(folder()).filePath(QStringLiteral("Veltamorine.sqlite"));
    {
        RawStore raw(path);
        ASSERT_TRUE(raw.exec(QStringLiteral("CREATE TABLE \"Note\" (\"Z_PK\" INTEGER PRIMARY KEY AUTOINCREMENT, \"id\" TEXT, \"count\" INTEGER)")));
        ASSERT_TRUE(raw.exec(QStringLiteral("INSERT INTO \"Note\" (\"id\", \"count\") VALUES ('kept', 7)")));
        ASSERT_TRUE(raw.exec(QStringLiteral("PRAGMA user_version = 1")));
    }
    CoreDataService service(folder(), modelVersion(2));
    ManagedObjectContext& context = service.managedObjectContext();
    ASSERT_TRUE(service.persistantStoreCoordinator().hasStore());
    EXPECT_EQ(service.persistantStoreCoordinator().storeVersion(), 2);
    auto notes = context.fetch(FetchRequest::forEntity(QStringLiteral("Note")));
    ASSERT_TRUE(notes.has_value());
    ASSERT_EQ(notes->size(), 1);
    EXPECT_EQ(notes->first()->value(QStringLiteral("count")).toLongLong(), 7);
    EXPECT_FALSE(notes->first()->value(QStringLiteral("seenAt")).isValid());

    notes->first()->setValue(QStringLiteral("seenAt"), QDateTime::fromMSecsSinceEpoch(1000, QTimeZone::utc()));
    insert(context, QStringLiteral("Tag"), {{QStringLiteral("label"), QStringLiteral("new")}});
    service.saveContext();
    EXPECT_EQ(reportCount(), 0);
    RawStore raw(path);
    EXPECT_EQ(raw.scalar(QStringLiteral("SELECT \"seenAt\" FROM \"Note\"")).toLongLong(), 1000);
    EXPECT_EQ(raw.scalar(QStringLiteral("SELECT \"label\" FROM \"Tag\"")).toString(), QStringLiteral("new"));
}

TEST_F(CoreDataServiceTest, UnversionedStoreGetsTheApplicationModel)
{
    QDir().mkpath(folder());
    const QString path = QDir(folder()).filePath(QStringLiteral("Veltamorine.sqlite"));
    {
        RawStore raw(path);
        ASSERT_TRUE(raw.exec(QStringLiteral("CREATE TABLE \"AppError\" (\"Z_PK\" INTEGER PRIMARY KEY AUTOINCREMENT, \"id\" TEXT, \"code\" INTEGER)")));
        ASSERT_TRUE(raw.exec(QStringLiteral("INSERT INTO \"AppError\" (\"id\", \"code\") VALUES ('e', 5)")));
    }
    CoreDataService service(folder(), veltamorineModel());
    auto rows = service.managedObjectContext().fetch(FetchRequest::forEntity(QStringLiteral("AppError")));
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 1);
    EXPECT_EQ(rows->first()->value(QStringLiteral("code")).toLongLong(), 5);
    EXPECT_TRUE(service.managedObjectContext().fetch(FetchRequest::forEntity(QStringLiteral("AppNotification"))).has_value());
    EXPECT_EQ(service.persistantStoreCoordinator().storeVersion(), 1);
}

TEST_F(CoreDataServiceTest, StoreThatCannotBeAddedIsReportedOnce)
{
    struct Case {
        const char* name;
        std::function<void(const QString& path)> prepare;
    };
    const Case cases[] = {
        {"newer version", [](const QString& path) { RawStore(path).exec(QStringLiteral("PRAGMA user_version = 5")); }},
        {"not a database",
         [](const QString& path) {
             QFile f(path);
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray(4096, 'x'));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString storeFolder = folder(QString::fromLatin1(c.name));
        QDir().mkpath(storeFolder);
        const QString path = QDir(storeFolder).filePath(QStringLiteral("Veltamorine.sqlite"));
        c.prepare(path);
        const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        const int reportsBefore = reportCount();
        warnings.clear();

        CoreDataService service(storeFolder, veltamorineModel());
        ManagedObjectContext& context = service.managedObjectContext();
        service.managedObjectContext();
        service.persistantStoreCoordinator();
        EXPECT_FALSE(service.persistantStoreCoordinator().hasStore());
        EXPECT_EQ(reportCount(), reportsBefore + 1);
        EXPECT_EQ(warningCount(QStringLiteral("Error in adding persistance store: ")), 1);
        EXPECT_FALSE(context.fetch(FetchRequest::forEntity(QStringLiteral("AppError"))).has_value());

        service.saveContext();  // nothing to save: nothing reported
        EXPECT_EQ(reportCount(), reportsBefore + 1);
        insert(context, QStringLiteral("AppError"), {{QStringLiteral("id"), QStringLiteral("x")}});
        service.saveContext();
        EXPECT_EQ(reportCount(), reportsBefore + 2);
        EXPECT_EQ(warningCount(QStringLiteral("Error in saving managed object: ")), 1);
        EXPECT_TRUE(context.hasChanges());

        QFile f(path);
        f.open(QIODevice::ReadOnly);
        EXPECT_EQ(f.readAll(), before);
    }
}

TEST_F(CoreDataServiceTest, FailedSaveKeepsTheChanges)
{
    CoreDataService service(folder(), veltamorineModel());
    ManagedObjectContext& context = service.managedObjectContext();
    insert(context, QStringLiteral("AppNotification"), {{QStringLiteral("id"), QStringLiteral("a")}});
    insert(context, QStringLiteral("AppError"), {{QStringLiteral("id"), QStringLiteral("b")}});
    RawStore(service.storePath()).exec(QStringLiteral("DROP TABLE \"AppError\""));
    service.saveContext();
    EXPECT_TRUE(context.hasChanges());
    EXPECT_EQ(reportCount(), 1);
    // Nothing of the failed transaction reached the store.
    EXPECT_EQ(RawStore(service.storePath()).scalar(QStringLiteral("SELECT COUNT(*) FROM \"AppNotification\"")).toInt(), 0);
}

TEST_F(CoreDataServiceTest, FetchSeesUnsavedChangesFiltersAndSorts)
{
    CoreDataService service(folder(), veltamorineModel());
    ManagedObjectContext& context = service.managedObjectContext();
    const QString e = QStringLiteral("AppError");
    insert(context, e, {{QStringLiteral("id"), QStringLiteral("catch-all")}, {QStringLiteral("domain"), QStringLiteral("quor")}, {QStringLiteral("code"), -99999}});
    insert(context, e, {{QStringLiteral("id"), QStringLiteral("five")}, {QStringLiteral("domain"), QStringLiteral("quor")}, {QStringLiteral("code"), 5}});
    insert(context, e, {{QStringLiteral("id"), QStringLiteral("other")}, {QStringLiteral("domain"), QStringLiteral("Quor")}, {QStringLiteral("code"), 5}});
    service.saveContext();
    auto unsaved = insert(context, e, {{QStringLiteral("id"), QStringLiteral("six")}, {QStringLiteral("domain"), QStringLiteral("quor")}, {QStringLiteral("code"), 6}});

    FetchRequest request = FetchRequest::forEntity(e);
    request.predicate = Predicate::all({Predicate::any({Predicate::equals(QStringLiteral("code"), 6), Predicate::equals(QStringLiteral("code"), -99999)}),
                                        Predicate::like(QStringLiteral("domain"), QStringLiteral("quor"))});
    request.sortDescriptors = {{QStringLiteral("code"), true}};
    auto rows = context.fetch(request);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 2);
    EXPECT_EQ(rows->at(0)->value(QStringLiteral("id")).toString(), QStringLiteral("catch-all"));
    EXPECT_EQ(rows->at(1), unsaved);

    // One object per stored record; deletions hide it before the save.
    FetchRequest five = FetchRequest::forEntity(e);
    five.predicate = Predicate::like(QStringLiteral("id"), QStringLiteral("f?v*"));
    auto first = context.fetch(five);
    auto second = context.fetch(five);
    ASSERT_EQ(first->size(), 1);
    EXPECT_EQ(first->first(), second->first());
    context.deleteObject(first->first());
    EXPECT_TRUE(context.fetch(five)->isEmpty());
    service.saveContext();
    CoreDataService reopened(folder(), veltamorineModel());
    auto all = reopened.managedObjectContext().fetch(FetchRequest::forEntity(e));
    EXPECT_EQ(all->size(), 3);
}

TEST_F(CoreDataServiceTest, LikeMatchesTheWholeValueWithWildcards)
{
    struct Case {
        const char* value;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"vpn-user", "vpn-user", true}, {"vpn-user", "VPN-USER", false}, {"vpn-user", "vpn", false},
        {"vpn-user", "vpn*", true},     {"vpn-user", "?pn-user", true},  {"a.b", "a?b", true},
        {"a+b", "a+b", true},           {"", "", true},                  {"x/y", "*", true},
    };
    CoreDataService service(folder(), veltamorineModel());
    auto object = insert(service.managedObjectContext(), QStringLiteral("AppNotification"), {});
    for (const Case& c : cases) {
        object->setValue(QStringLiteral("username"), QString::fromLatin1(c.value));
        EXPECT_EQ(Predicate::like(QStringLiteral("username"), QString::fromLatin1(c.pattern)).evaluate(*object), c.matches)
            << c.value << " LIKE " << c.pattern;
    }
}

TEST_F(CoreDataServiceTest, UnknownEntityHasNoDescription)
{
    CoreDataService service(folder(), veltamorineModel());
    auto inserted = service.managedObjectContext().insertNewObject(QStringLiteral("Missing"));
    ASSERT_FALSE(inserted.has_value());
    EXPECT_EQ(inserted.error().domain, coreDataServiceErrorsDomain);
    EXPECT_FALSE(service.managedObjectContext().fetch(FetchRequest::forEntity(QStringLiteral("Missing"))).has_value());
}

}

#include "UserDefaults.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

// Collects the warnings of the store while a test runs.
struct WarningCatcher {
    static inline QStringList messages;
    QtMessageHandler previous;
    WarningCatcher()
    {
        messages.clear();
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtWarningMsg && QByteArray(context.category) == "veltamorine.defaults")
                messages.append(text);
        });
    }
    ~WarningCatcher() { qInstallMessageHandler(previous); }
};

class UserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path() + QStringLiteral("/store"); }
    std::unique_ptr<UserDefaults> open() { return std::make_unique<UserDefaults>(folder()); }
    QStringList damagedFiles() const
    {
        return QDir(folder()).entryList({QStringLiteral("*.damaged-*")}, QDir::Files);
    }
    void appendToJournal(const QByteArray& bytes)
    {
        QFile journal(folder() + QStringLiteral("/defaults.journal"));
        ASSERT_TRUE(journal.open(QIODevice::Append));
        journal.write(bytes);
    }
};

struct TypedCase {
    const char* key;
    QVariant value;
    int storedType;
};

std::vector<TypedCase> typedCases()
{
    return {
        {"bool", true, QMetaType::Bool},
        {"int", 2, QMetaType::LongLong},
        {"string", QStringLiteral("2"), QMetaType::QString},
        {"emptyString", QString(), QMetaType::QString},
        {"double", 2.5, QMetaType::Double},
        {"bigInteger", QVariant::fromValue(qint64(9007199254740993LL)), QMetaType::LongLong},
        {"data", QByteArray("\x00\x01null\xff", 8), QMetaType::QByteArray},
        {"date", QDateTime::fromMSecsSinceEpoch(1700000000123LL, Qt::UTC), QMetaType::QDateTime},
        {"array", QVariantList{2, QStringLiteral("2"), true, QByteArray("x")}, QMetaType::QVariantList},
        {"dictionary", QVariantMap{{QStringLiteral("a"), 2}, {QStringLiteral("b"), QStringLiteral("2")}}, QMetaType::QVariantMap},
    };
}

void expectSameValues(UserDefaults& store)
{
    for (const TypedCase& c : typedCases()) {
        SCOPED_TRACE(c.key);
        const QVariant read = store.objectForKey(QString::fromLatin1(c.key));
        EXPECT_EQ(read.typeId(), c.storedType);
        EXPECT_EQ(read, c.value);
    }
    // Elements of containers keep their kinds as well.
    const QVariantList array = store.arrayForKey(QStringLiteral("array")).value();
    EXPECT_EQ(array[0].typeId(), QMetaType::LongLong);
    EXPECT_EQ(array[1].typeId(), QMetaType::QString);
    EXPECT_EQ(array[2].typeId(), QMetaType::Bool);
    EXPECT_EQ(array[3].typeId(), QMetaType::QByteArray);
}

TEST_F(UserDefaultsTest, ValuesKeepTheirKindThroughJournalAndSnapshot)
{
    for (bool compacted : {false, true}) {
        SCOPED_TRACE(compacted ? "after the snapshot was rewritten" : "from the journal");
        QDir(folder()).removeRecursively();
        {
            auto store = open();
            for (const TypedCase& c : typedCases())
                store->setObject(c.value, QString::fromLatin1(c.key));
            if (compacted) {
                // Enough changes to fold the journal into a new snapshot at least once.
                for (int i = 0; i < 400; ++i)
                    store->setData(QByteArray(512, 'f'), QStringLiteral("filler"));
                EXPECT_LT(QFileInfo(folder() + QStringLiteral("/defaults.journal")).size(), 200 * 1024);
            }
            expectSameValues(*store);
        }
        auto reloaded = open();
        expectSameValues(*reloaded);
        // QVariant's own == would call 2 and "2" equal; what matters is that they read back apart.
        EXPECT_EQ(reloaded->objectForKey(QStringLiteral("int")).typeId(), QMetaType::LongLong);
        EXPECT_EQ(reloaded->objectForKey(QStringLiteral("string")).typeId(), QMetaType::QString);
    }
}

TEST_F(UserDefaultsTest, TypedReadersConvertLikeThePlatformStore)
{
    auto store = open();
    struct Case {
        QVariant stored;
        bool asBool;
        qint64 asInteger;
        std::optional<QString> asString;
    };
    const std::vector<Case> cases = {
        {QVariant(), false, 0, std::nullopt},
        {true, true, 1, QStringLiteral("1")},
        {0, false, 0, QStringLiteral("0")},
        {7, true, 7, QStringLiteral("7")},
        {2.75, true, 2, QStringLiteral("2.75")},
        {QStringLiteral("YES"), true, 0, QStringLiteral("YES")},
        {QStringLiteral("true"), true, 0, QStringLiteral("true")},
        {QStringLiteral("no"), false, 0, QStringLiteral("no")},
        {QStringLiteral("007abc"), true, 7, QStringLiteral("007abc")},
        {QStringLiteral("-0"), false, 0, QStringLiteral("-0")},
        {QByteArray("1"), false, 0, std::nullopt},
        {QVariantList{1}, false, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        store->setObject(c.stored, QStringLiteral("k"));
        EXPECT_EQ(store->boolForKey(QStringLiteral("k")), c.asBool);
        EXPECT_EQ(store->integerForKey(QStringLiteral("k")), c.asInteger);
        EXPECT_EQ(store->stringForKey(QStringLiteral("k")), c.asString);
    }
}

TEST_F(UserDefaultsTest, IntegerReaderSaturatesDoublesBeyondItsRange)
{
    auto store = open();
    constexpr qint64 most = std::numeric_limits<qint64>::max();
    constexpr qint64 least = std::numeric_limits<qint64>::min();
    const std::vector<std::pair<double, qint64>> cases = {
        {1e300, most},
        {9223372036854775808.0, most},
        {-1e300, least},
        {-9223372036854775808.0, least},
        {9007199254740992.0, 9007199254740992},
        {-2.75, -2},
        {std::numeric_limits<double>::infinity(), 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored);
        store->setDouble(stored, QStringLiteral("k"));
        EXPECT_EQ(store->integerForKey(QStringLiteral("k")), expected);
    }
}

TEST_F(UserDefaultsTest, KindSpecificReadersRefuseOtherKinds)
{
    auto store = open();
    store->setString(QStringLiteral("bytes"), QStringLiteral("text"));
    store->setData("bytes", QStringLiteral("data"));
    store->setObject(QVariantList{QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("strings"));
    store->setObject(QVariantList{QStringLiteral("a"), 1}, QStringLiteral("mixed"));
    store->setObject(QVariantMap{{QStringLiteral("a"), 1}}, QStringLiteral("map"));

    EXPECT_FALSE(store->dataForKey(QStringLiteral("text")));
    EXPECT_EQ(store->dataForKey(QStringLiteral("data")), QByteArray("bytes"));
    EXPECT_FALSE(store->arrayForKey(QStringLiteral("map")));
    EXPECT_FALSE(store->dictionaryForKey(QStringLiteral("strings")));
    EXPECT_EQ(store->stringArrayForKey(QStringLiteral("strings")), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_FALSE(store->stringArrayForKey(QStringLiteral("mixed")));
    EXPECT_FALSE(store->dateForKey(QStringLiteral("text")));
}

TEST_F(UserDefaultsTest, InvalidValueRemovesAndUnstorableValueChangesNothing)
{
    WarningCatcher warnings;
    {
        auto store = open();
        store->setInteger(1, QStringLiteral("a.one"));
        store->setInteger(2, QStringLiteral("a.two"));
        store->setInteger(3, QStringLiteral("b.three"));
        store->setObject(QVariant(), QStringLiteral("a.one"));
        store->setObject(QVariant::fromValue(QSize(1, 2)), QStringLiteral("b.three"));
        EXPECT_EQ(warnings.messages.size(), 1);
        store->removeObjectForKey(QStringLiteral("missing"));
        EXPECT_EQ(store->keysWithPrefix(QStringLiteral("a.")), QStringList{QStringLiteral("a.two")});
    }
    auto reloaded = open();
    EXPECT_FALSE(reloaded->hasObject(QStringLiteral("a.one")));
    EXPECT_EQ(reloaded->objectForKey(QStringLiteral("b.three")), QVariant(qlonglong(3)));
    EXPECT_EQ(reloaded->keysWithPrefix(QString()).size(), 2);
}

TEST_F(UserDefaultsTest, FilesArePrivateToTheUser)
{
    {
        auto store = open();
        for (int i = 0; i < 300; ++i)
            store->setData(QByteArray(512, 'f'), QStringLiteral("filler%1").arg(i % 3));
    }
    for (const QString& name : {QStringLiteral("defaults.json"), QStringLiteral("defaults.journal")}) {
        SCOPED_TRACE(name.toStdString());
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(folder() + u'/' + name).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(UserDefaultsTest, EightThreadsLoseNoWrite)
{
    constexpr int threads = 8;
    constexpr int perThread = 1000;
    QElapsedTimer clock;
    clock.start();
    {
        auto store = open();
        std::vector<std::thread> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back([&store, t] {
                for (int i = 0; i < perThread; ++i)
                    store->setInteger(t * perThread + i, QStringLiteral("t%1.k%2").arg(t).arg(i));
            });
        }
        for (auto& w : writers)
            w.join();
        EXPECT_EQ(store->keysWithPrefix(QStringLiteral("t")).size(), threads * perThread);
    }
    EXPECT_LT(clock.elapsed(), 5000);
    auto reloaded = open();
    ASSERT_EQ(reloaded->keysWithPrefix(QStringLiteral("t")).size(), threads * perThread);
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < perThread; ++i)
            ASSERT_EQ(reloaded->objectForKey(QStringLiteral("t%1.k%2").arg(t).arg(i)), QVariant(qlonglong(t * perThread + i)));
}

TEST_F(UserDefaultsTest, KilledWriterLeavesEveryReturnedWrite)
{
    // Killed at different moments, so some kills land around a snapshot rewrite.
    for (int killAfter : {50, 1500, 4000}) {
        SCOPED_TRACE(killAfter);
        QDir(folder()).removeRecursively();
        QProcess writer;
        writer.start(QStringLiteral(DEFAULTS_WRITER), {folder()});
        ASSERT_TRUE(writer.waitForStarted(5000));
        QByteArray output;
        // The number on the last complete line: that write and every earlier one had returned.
        auto lastReported = [&output]() -> qint64 {
            const qsizetype end = output.lastIndexOf('\n');
            if (end < 0)
                return -1;
            const qsizetype start = output.lastIndexOf('\n', end - 1) + 1;
            return output.mid(start, end - start).toLongLong();
        };
        QElapsedTimer clock;
        clock.start();
        while (lastReported() < killAfter && clock.elapsed() < 20000) {
            writer.waitForReadyRead(100);
            output += writer.readAllStandardOutput();
        }
        ::kill(pid_t(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(5000));
        output += writer.readAllStandardOutput();
        const qint64 last = lastReported();
        ASSERT_GE(last, killAfter);

        UserDefaults reloaded(folder());
        for (qint64 i = 0; i <= last; ++i)
            ASSERT_EQ(reloaded.objectForKey(QStringLiteral("k%1").arg(i)), QVariant(qlonglong(i))) << "write " << i;
        EXPECT_TRUE(damagedFiles().isEmpty());
    }
}

TEST_F(UserDefaultsTest, DamagedSnapshotIsMovedAsideAndReported)
{
    QDir().mkpath(folder());
    {
        QFile snapshot(folder() + QStringLiteral("/defaults.json"));
        ASSERT_TRUE(snapshot.open(QIODevice::WriteOnly));
        snapshot.write("{\"format\":\"veltamorine-defaults\",\"values\":{\"a\":");
    }
    WarningCatcher warnings;
    {
        auto store = open();
        EXPECT_FALSE(warnings.messages.isEmpty());
        EXPECT_EQ(damagedFiles().size(), 1);
        EXPECT_TRUE(store->keysWithPrefix(QString()).isEmpty());
        store->setString(QStringLiteral("v"), QStringLiteral("after"));
    }
    auto reloaded = open();
    EXPECT_EQ(reloaded->stringForKey(QStringLiteral("after")), QStringLiteral("v"));
    EXPECT_EQ(damagedFiles().size(), 1);
}

TEST_F(UserDefaultsTest, DamagedJournalLineIsMovedAsideKeepingTheRest)
{
    open()->setInteger(1, QStringLiteral("before"));
    appendToJournal("{not json\n");
    appendToJournal("{\"op\":\"set\",\"key\":\"later\",\"value\":{\"type\":\"integer\",\"value\":2}}\n");
    WarningCatcher warnings;
    {
        auto store = open();
        EXPECT_FALSE(warnings.messages.isEmpty());
        EXPECT_EQ(damagedFiles().size(), 1);
        EXPECT_EQ(store->integerForKey(QStringLiteral("before")), 1);
        EXPECT_EQ(store->integerForKey(QStringLiteral("later")), 2);
    }
    auto reloaded = open();
    EXPECT_EQ(reloaded->integerForKey(QStringLiteral("later")), 2);
}

TEST_F(UserDefaultsTest, TornLastChangeIsDroppedAndLaterWritesStillLoad)
{
    open()->setInteger(1, QStringLiteral("before"));
    appendToJournal("{\"op\":\"set\",\"key\":\"torn\",\"val");
    {
        auto store = open();
        EXPECT_FALSE(store->hasObject(QStringLiteral("torn")));
        store->setInteger(3, QStringLiteral("after"));
    }
    auto reloaded = open();
    EXPECT_EQ(reloaded->integerForKey(QStringLiteral("before")), 1);
    EXPECT_EQ(reloaded->integerForKey(QStringLiteral("after")), 3);
    EXPECT_TRUE(damagedFiles().isEmpty());
}

TEST_F(UserDefaultsTest, StandardStoreMovesToAnotherFolderInPlace)
{
    UserDefaults& before = UserDefaults::standard();
    open()->setString(QStringLiteral("there"), QStringLiteral("where"));
    UserDefaults::setStandardFolder(folder());
    EXPECT_EQ(&UserDefaults::standard(), &before);
    EXPECT_EQ(before.stringForKey(QStringLiteral("where")), QStringLiteral("there"));
    QTemporaryDir other;
    UserDefaults::setStandardFolder(other.path());
    EXPECT_FALSE(before.hasObject(QStringLiteral("where")));
}

}

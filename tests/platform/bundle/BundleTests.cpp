#include "Bundle.h"

#include "VirtualScheduler.h"

#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString compiled = QString::fromLatin1(Bundle::infoResource);

QString writeJson(const QTemporaryDir& dir, const QString& name, const QJsonObject& object)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(object).toJson());
    return path;
}

TEST(BundleTest, CompiledDictionaryCarriesEveryEntry)
{
    const Bundle bundle = Bundle::load(compiled);
    for (const QString& text : {bundle.firebaseAppName(), bundle.shortVersion(), bundle.releaseCode(),
                                bundle.buildDistribution(), bundle.buildEnvironment(),
                                bundle.applicationBundleIdentifier(), bundle.launcherBundleIdentifier(),
                                bundle.packetTunnelIdentifier(), bundle.wireguardPacketTunnelIdentifier(),
                                bundle.packetTunnelGroup(), bundle.infoString(QStringLiteral("CFBundleVersion"))})
        EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(bundle.shortVersion(), QStringLiteral("3.0"));
    EXPECT_GT(bundle.dataStoreVersion(), 0);
    EXPECT_EQ(bundle.applicationBundleIdentifier(), QStringLiteral("com.veltamorine.Veltamorine"));
    EXPECT_EQ(bundle.launcherBundleIdentifier(), QStringLiteral("com.veltamorine.VeltamorineLauncher"));
}

TEST(BundleTest, ReleaseCodeFallsBackOnlyWhenAbsentOrNotText)
{
    struct Case {
        const char* name;
        QJsonValue value;  // undefined: no entry
        QString expected;
    };
    const Case cases[] = {
        {"absent", QJsonValue(QJsonValue::Undefined), QStringLiteral("PRODUCTION")},
        {"number", 7, QStringLiteral("PRODUCTION")},
        {"null", QJsonValue(), QStringLiteral("PRODUCTION")},
        {"empty", QString(), QString()},
        {"text", QStringLiteral("BETA"), QStringLiteral("BETA")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject info;
        if (!c.value.isUndefined())
            info.insert(QStringLiteral("Release Code"), c.value);
        EXPECT_EQ(Bundle(info).releaseCode(), c.expected);
    }
}

TEST(BundleTest, VersionStringAlwaysCarriesTheBuild)
{
    const struct {
        const char* shortVersion;
        const char* build;
        const char* expected;
    } cases[] = {{"3.0", "3.0", "3.0 (3.0)"}, {"4.2", "117", "4.2 (117)"}};
    for (const auto& c : cases) {
        const Bundle bundle(QJsonObject{{QStringLiteral("CFBundleShortVersionString"), c.shortVersion},
                                        {QStringLiteral("CFBundleVersion"), c.build}});
        EXPECT_EQ(bundle.versionString(), QString::fromLatin1(c.expected));
    }
}

TEST(BundleTest, OverlayReplacesEntriesAndKeepsTheRest)
{
    QTemporaryDir dir;
    const QString overlay = writeJson(dir, QStringLiteral("overlay.json"),
                                      QJsonObject{{QStringLiteral("Release Code"), 5},
                                                  {QStringLiteral("Data Store Version"), 9},
                                                  {QStringLiteral("API Host"), QStringLiteral("127.0.0.1:8443")}});
    const Bundle plain = Bundle::load(compiled);
    const Bundle bundle = Bundle::load(compiled, overlay);
    EXPECT_EQ(bundle.releaseCode(), QStringLiteral("PRODUCTION"));
    EXPECT_EQ(bundle.dataStoreVersion(), 9);
    EXPECT_EQ(bundle.infoString(QStringLiteral("API Host")), QStringLiteral("127.0.0.1:8443"));
    EXPECT_EQ(bundle.applicationBundleIdentifier(), plain.applicationBundleIdentifier());

    // An overlay that cannot be read leaves the compiled dictionary as it is.
    const Bundle broken = Bundle::load(compiled, dir.filePath(QStringLiteral("missing.json")));
    EXPECT_EQ(broken.infoDictionary(), plain.infoDictionary());
}

TEST(BundleTest, MainCanBeReplacedAndRestored)
{
    const Bundle fake(QJsonObject{{QStringLiteral("Application Bundle identifier"), QStringLiteral("test.app")}});
    Bundle::setMain(&fake);
    EXPECT_EQ(Bundle::main().applicationBundleIdentifier(), QStringLiteral("test.app"));
    Bundle::setMain(nullptr);
    EXPECT_EQ(Bundle::main().applicationBundleIdentifier(), QStringLiteral("com.veltamorine.Veltamorine"));
}

TEST(BundleTest, ApplicationSupportDirectoryIsTheDataFolderOfTheIdentifier)
{
    const Bundle bundle(QJsonObject{{QStringLiteral("Application Bundle identifier"), QStringLiteral("com.example.App")}});
    EXPECT_EQ(bundle.applicationSupportDirectory(),
              QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/com.example.App"));
}

TEST(WeeksUntilNowTest, WholeWeeksEitherWay)
{
    const QDateTime now(QDate(2026, 3, 20), QTime(12, 0));
    const struct {
        qint64 seconds;
        int weeks;
    } cases[] = {
        {0, 0},
        {-6 * 86400, 0},
        {-7 * 86400, 1},
        {-7 * 86400 + 1, 0},
        {-36 * 86400, 5},
        {36 * 86400, 5},
        {-(70 * 86400), 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(weeksUntilNow(now.addSecs(c.seconds), now), c.weeks);
    }
    EXPECT_EQ(weeksUntilNow(QDateTime()), 0);
}

TEST(WeeksUntilNowTest, ReadsTheSchedulerClock)
{
    VirtualScheduler scheduler;
    Scheduler::setMain(&scheduler);
    const QDateTime start = scheduler.now();
    scheduler.advance(8 * 86400);
    EXPECT_EQ(weeksUntilNow(start), 1);
    Scheduler::setMain(nullptr);
}

}

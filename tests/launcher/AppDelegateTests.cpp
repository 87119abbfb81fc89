#include "AppDelegate.h"
#include "DistributedNotificationCenter.h"
#include "LoginItem.h"
#include "SessionBusName.h"

#include "TestSupport.h"

#include <QDBusConnection>
#include <QFileInfo>
#include <QJsonObject>
#include <QUuid>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

QString unique(const QString& stem)
{
    return stem + u'.' + QUuid::createUuid().toString(QUuid::Id128);
}

const QString kill = QString::fromLatin1(AppDelegate::killNotificationName);
const QString bundlePath = QStringLiteral("/opt/Velta App/libexec/veltamorine/VeltamorineLauncher");
const QString derivedPath = QStringLiteral("/opt/Velta App/bin/Veltamorine");

// The delegate on a bus connection of its own, as the launcher program would be, with the bus
// checks real and only the launch and the termination recorded.
class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run inside scripts/with-test-session";
        appId = unique(QStringLiteral("test.Veltamorine"));
        launcherId = unique(QStringLiteral("test.VeltamorineLauncher"));
        launcherConnectionName = unique(QStringLiteral("launcher"));
        otherConnectionName = unique(QStringLiteral("other"));
        launcherConnection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, launcherConnectionName));
        otherConnection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, otherConnectionName));
        center = std::make_unique<DistributedNotificationCenter>(*launcherConnection);
        poster = std::make_unique<DistributedNotificationCenter>(*otherConnection);
    }

    void TearDown() override
    {
        delegate.reset();
        center.reset();
        poster.reset();
        launcherConnection.reset();
        otherConnection.reset();
        QDBusConnection::disconnectFromBus(launcherConnectionName);
        QDBusConnection::disconnectFromBus(otherConnectionName);
    }

    QJsonObject info() const
    {
        return QJsonObject{{"CFBundleIdentifier", launcherId},
                           {"Application Bundle identifier", appId},
                           {"Application Name", "Veltamorine"}};
    }

    void start(const QJsonObject& dictionary, const QString& path = bundlePath)
    {
        Workspace workspace;
        const QDBusConnection connection = *launcherConnection;
        workspace.isRunning = [connection](const QString& id) { return SessionBusName::hasOwner(id, connection); };
        workspace.claim = [connection](const QString& id) { return SessionBusName::claim(id, connection); };
        workspace.launchApplication = [this](const QString& program) {
            launched << program;
            return launchSucceeds;
        };
        workspace.terminate = [this] { ++terminations; };
        delegate = std::make_unique<AppDelegate>(Bundle(dictionary), path, *center, workspace);
        delegate->applicationDidFinishLaunching();
    }

    // Another program of the session owns the name of `id`.
    void ownedElsewhere(const QString& id)
    {
        ASSERT_TRUE(SessionBusName::claim(id, *otherConnection));
        ASSERT_TRUE(SessionBusName::hasOwner(id, *launcherConnection));
    }

    // Posts from another program, then waits until a marker posted after it reached the
    // delegate's centre: by then the posts before it have been handled.
    void postFromApplication(const QString& object)
    {
        ASSERT_TRUE(poster->post(kill, object));
        const QString marker = unique(QStringLiteral("Marker"));
        QObject owner;
        bool seen = false;
        center->observe(marker, &owner, [&](const Notification&) { seen = true; });
        ASSERT_TRUE(poster->post(marker));
        ASSERT_TRUE(TestSupport::waitUntil([&] { return seen; }, 5000));
    }

    QString appId;
    QString launcherId;
    QString launcherConnectionName;
    QString otherConnectionName;
    std::unique_ptr<QDBusConnection> launcherConnection;
    std::unique_ptr<QDBusConnection> otherConnection;
    std::unique_ptr<DistributedNotificationCenter> center;
    std::unique_ptr<DistributedNotificationCenter> poster;
    std::unique_ptr<AppDelegate> delegate;
    QStringList launched;
    bool launchSucceeds = true;
    int terminations = 0;
};

TEST_F(AppDelegateTest, QuitsAtOnceWithoutObservingWhenTheApplicationRuns)
{
    ownedElsewhere(appId);
    start(info());

    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(launched.isEmpty());
    // No observer: the application's own kill notice finds nobody listening.
    postFromApplication(appId);
    EXPECT_EQ(terminations, 1);
}

TEST_F(AppDelegateTest, NeedsNoApplicationNameWhenTheApplicationRuns)
{
    ownedElsewhere(appId);
    QJsonObject dictionary = info();
    dictionary.remove("Application Name");
    start(dictionary);

    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(launched.isEmpty());
}

TEST_F(AppDelegateTest, LaunchesTheApplicationAndQuitsOnlyOnItsOwnKillNotice)
{
    start(info());

    EXPECT_EQ(launched, QStringList{derivedPath});
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(SessionBusName::hasOwner(launcherId, *otherConnection)) << "the application must be able to see us";

    for (const QString& other : {QStringLiteral("test.SomeoneElse"), QString(), appId + u'x'}) {
        postFromApplication(other);
        EXPECT_EQ(terminations, 0) << other.toStdString();
    }
    postFromApplication(appId);
    EXPECT_EQ(terminations, 1);
}

TEST_F(AppDelegateTest, StaysUntilTheKillNoticeWhenTheLaunchFails)
{
    launchSucceeds = false;
    start(info());

    EXPECT_EQ(launched.size(), 1);
    EXPECT_EQ(terminations, 0);
    postFromApplication(appId);
    EXPECT_EQ(terminations, 1);
}

TEST_F(AppDelegateTest, QuitsWithoutLaunchingWhenAnotherLauncherRuns)
{
    ownedElsewhere(launcherId);
    start(info());

    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(launched.isEmpty());
}

TEST_F(AppDelegateTest, QuitsWithoutLaunchingOnAFaultyDictionaryOrPlace)
{
    struct Case {
        const char* name;
        const char* key;
        QJsonValue value;  // Undefined removes the key
        QString path;
    };
    const Case cases[] = {
        {"identifier missing", "Application Bundle identifier", QJsonValue(QJsonValue::Undefined), bundlePath},
        {"identifier null", "Application Bundle identifier", QJsonValue(QJsonValue::Null), bundlePath},
        {"identifier a number", "Application Bundle identifier", 7, bundlePath},
        {"identifier empty", "Application Bundle identifier", "", bundlePath},
        {"name missing", "Application Name", QJsonValue(QJsonValue::Undefined), bundlePath},
        {"name a bool", "Application Name", true, bundlePath},
        {"name empty", "Application Name", "", bundlePath},
        {"name leaves the folder", "Application Name", "../sbin/other", bundlePath},
        {"path too short", nullptr, {}, QStringLiteral("/opt/VeltamorineLauncher")},
        {"root", nullptr, {}, QStringLiteral("/")},
        {"relative path", nullptr, {}, QStringLiteral("a/b/c/d")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        terminations = 0;
        launched.clear();
        QJsonObject dictionary = info();
        if (c.key && c.value.isUndefined())
            dictionary.remove(c.key);
        else if (c.key)
            dictionary.insert(c.key, c.value);
        start(dictionary, c.path);

        EXPECT_EQ(terminations, 1);
        EXPECT_TRUE(launched.isEmpty());
        postFromApplication(appId);
        EXPECT_EQ(terminations, 1) << "no observer may be left behind";
        SessionBusName::release(launcherId, *launcherConnection);
    }
}

TEST(AppDelegatePath, IsDerivedFromTheLaunchersOwnFolder)
{
    struct Case {
        QString bundlePath;
        QString name;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"/opt/Velta App/libexec/veltamorine/VeltamorineLauncher", "Veltamorine", "/opt/Velta App/bin/Veltamorine"},
        {"/home/u/moved/libexec/veltamorine/VeltamorineLauncher/", "Veltamorine", "/home/u/moved/bin/Veltamorine"},
        {"/usr/./libexec/veltamorine/x/../VeltamorineLauncher", "V", "/usr/bin/V"},
        {"//a//b//c", "V", "/bin/V"},
        {"/a/b", "V", std::nullopt},
        {"/", "V", std::nullopt},
        {"", "V", std::nullopt},
        {"a/b/c/d", "V", std::nullopt},
        {"/a/b/c/d", "", std::nullopt},
        {"/a/b/c/d", ".", std::nullopt},
        {"/a/b/c/d", "..", std::nullopt},
        {"/a/b/c/d", "x/y", std::nullopt},
        {"/a/b/c/d", "with space", "/a/bin/with space"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bundlePath.toStdString() + " + " + c.name.toStdString());
        EXPECT_EQ(AppDelegate::mainApplicationPath(c.bundlePath, c.name), c.expected);
    }
}

// The application registers the launcher it finds beside itself; the launcher finds the
// application from there. Both halves must agree on the layout.
TEST(AppDelegatePath, MeetsTheLoginItemsViewOfTheLayout)
{
    for (const QString& application : {QStringLiteral("/opt/veltamorine/bin/Veltamorine"),
                                       QStringLiteral("/home/u/Velta App/bin/Veltamorine"),
                                       QStringLiteral("/usr/bin/Veltamorine")}) {
        const QString launcher = LoginItem::installedLauncherPath("com.veltamorine.VeltamorineLauncher", application);
        EXPECT_EQ(QFileInfo(launcher).fileName(), "VeltamorineLauncher");
        EXPECT_EQ(AppDelegate::mainApplicationPath(QFileInfo(launcher).path(), "Veltamorine"), application);
    }
}

TEST(AppDelegateInfo, CompiledDictionaryCarriesTheLauncherKeys)
{
    const Bundle bundle = AppDelegate::launcherBundle();
    EXPECT_EQ(bundle.infoString("CFBundleIdentifier"), "com.veltamorine.VeltamorineLauncher");
    EXPECT_EQ(bundle.infoString("Application Bundle identifier"), "com.veltamorine.Veltamorine");
    EXPECT_EQ(bundle.infoString("Application Name"), "Veltamorine");
    // The application's dictionary names the same launcher.
    EXPECT_EQ(Bundle::load(QString::fromLatin1(Bundle::infoResource)).launcherBundleIdentifier(),
              bundle.infoString("CFBundleIdentifier"));
}

}

// The launcher program itself, started as the desktop would start it, with a stand-in for the
// application placed where an installation keeps it.
#include "DistributedNotificationCenter.h"
#include "SessionBusName.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int startupTimeoutMs = 10'000;
const QString kill = QStringLiteral("killVeltamorineLauncher");

QString unique(const QString& stem)
{
    return stem + u'.' + QUuid::createUuid().toString(QUuid::Id128);
}

bool copyExecutable(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).path());
    QFile::remove(to);
    return QFile::copy(from, to)
        && QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

std::optional<QJsonObject> readMarker(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    return document.isObject() ? std::optional(document.object()) : std::nullopt;
}

class LauncherProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run inside scripts/with-test-session";
        ASSERT_TRUE(scratch.isValid());
        // Names of this run's own, so that parallel runs on the same bus cannot interfere.
        appId = unique(QStringLiteral("test.Veltamorine"));
        launcherId = unique(QStringLiteral("test.VeltamorineLauncher"));
        overlay = {{"CFBundleIdentifier", launcherId}, {"Application Bundle identifier", appId}};
        launchedMarker = scratch.filePath(QStringLiteral("launched.json"));
    }

    void TearDown() override
    {
        for (auto& process : processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
        // The launched stand-in runs on its own; end it by the process id it recorded.
        if (const auto marker = readMarker(launchedMarker)) {
            if (const qint64 pid = marker->value("pid").toInteger(); pid > 0)
                ::kill(pid_t(pid), SIGKILL);
        }
    }

    // An installation at `prefix`: the launcher and the stand-in application where they belong.
    QString install(const QString& prefix)
    {
        const QString launcher = prefix + QStringLiteral("/libexec/veltamorine/VeltamorineLauncher/VeltamorineLauncher");
        EXPECT_TRUE(copyExecutable(QStringLiteral(LAUNCHER_PROGRAM), launcher));
        EXPECT_TRUE(copyExecutable(QStringLiteral(LAUNCHER_TEST_APP), prefix + QStringLiteral("/bin/Veltamorine")));
        return launcher;
    }

    QProcess& startProcess(const QString& program, const QStringList& arguments, const QString& marker)
    {
        QSaveFile file(scratch.filePath(QStringLiteral("overlay.json")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(overlay).toJson());
        EXPECT_TRUE(file.commit());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VELTAMORINE_LAUNCHER_INFO"), file.fileName());
        environment.insert(QStringLiteral("LAUNCHER_TEST_MARKER"), marker);
        auto& process = *processes.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted(startupTimeoutMs)) << program.toStdString();
        return process;
    }

    QProcess& startLauncher(const QString& launcher) { return startProcess(launcher, {}, launchedMarker); }

    // A program of the session that owns the name of `id` (the application, or another launcher).
    void runOwnerOf(const QString& id)
    {
        QProcess& owner = startProcess(QStringLiteral(LAUNCHER_TEST_APP), {QStringLiteral("--claim"), id},
                                       scratch.filePath(QStringLiteral("owner.json")));
        ASSERT_TRUE(TestSupport::waitUntil([&] { return SessionBusName::hasOwner(id); }, startupTimeoutMs))
            << "exit code " << owner.exitCode();
    }

    static void expectQuitsOnItsOwn(QProcess& launcher)
    {
        ASSERT_TRUE(launcher.waitForFinished(startupTimeoutMs)) << "the launcher did not quit";
        EXPECT_EQ(launcher.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(launcher.exitCode(), 0);
    }

    // Waits until the launched application recorded itself; returns the path it was started as.
    QString waitForLaunchedApplication()
    {
        std::optional<QJsonObject> marker;
        const bool started = TestSupport::waitUntil([&] { return (marker = readMarker(launchedMarker)).has_value(); },
                                                    startupTimeoutMs);
        if (!started) {
            ADD_FAILURE() << "the application was not started";
            return {};
        }
        EXPECT_EQ(marker->value("arguments").toArray(), QJsonArray());
        return marker->value("program").toString();
    }

    void endLaunchedApplication()
    {
        if (const auto marker = readMarker(launchedMarker))
            ::kill(pid_t(marker->value("pid").toInteger()), SIGKILL);
        QFile::remove(launchedMarker);
    }

    QTemporaryDir scratch;
    QString appId;
    QString launcherId;
    QJsonObject overlay;
    QString launchedMarker;
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(LauncherProgramTest, QuitsAtOnceWhenTheApplicationRuns)
{
    runOwnerOf(appId);
    QProcess& launcher = startLauncher(install(scratch.filePath(QStringLiteral("Velta App"))));

    expectQuitsOnItsOwn(launcher);
    EXPECT_FALSE(QFileInfo::exists(launchedMarker)) << "the application was started a second time";
}

TEST_F(LauncherProgramTest, QuitsAtOnceWhenAnotherLauncherRuns)
{
    runOwnerOf(launcherId);
    QProcess& launcher = startLauncher(install(scratch.filePath(QStringLiteral("Velta App"))));

    expectQuitsOnItsOwn(launcher);
    EXPECT_FALSE(QFileInfo::exists(launchedMarker));
}

// Started from two places in turn, as after moving the whole installation.
TEST_F(LauncherProgramTest, StartsTheApplicationBesideItAndQuitsOnItsKillNotice)
{
    const QString first = scratch.filePath(QStringLiteral("Velta App"));
    const QString moved = scratch.filePath(QStringLiteral("moved/elsewhere"));
    QDir().mkpath(QFileInfo(moved).path());
    install(first);
    DistributedNotificationCenter& center = DistributedNotificationCenter::defaultCenter();

    for (const QString& prefix : {first, moved}) {
        SCOPED_TRACE(prefix.toStdString());
        if (prefix == moved) {
            ASSERT_TRUE(QDir().rename(first, moved));
        }
        QProcess& launcher =
            startLauncher(prefix + QStringLiteral("/libexec/veltamorine/VeltamorineLauncher/VeltamorineLauncher"));

        EXPECT_EQ(waitForLaunchedApplication(), QFileInfo(prefix + QStringLiteral("/bin/Veltamorine")).canonicalFilePath());
        EXPECT_TRUE(SessionBusName::hasOwner(launcherId)) << "the application must be able to see the launcher";

        // Notices for someone else leave it running. Nothing is sent back for them, so give the
        // launcher a moment to act wrongly.
        ASSERT_TRUE(center.post(kill, QStringLiteral("test.SomeoneElse")));
        ASSERT_TRUE(center.post(kill, QString()));
        EXPECT_FALSE(launcher.waitForFinished(300));
        EXPECT_EQ(launcher.state(), QProcess::Running);

        ASSERT_TRUE(center.post(kill, appId));
        expectQuitsOnItsOwn(launcher);
        // The application does not go down with the launcher.
        const auto marker = readMarker(launchedMarker);
        ASSERT_TRUE(marker.has_value());
        EXPECT_EQ(::kill(pid_t(marker->value("pid").toInteger()), 0), 0);
        endLaunchedApplication();
    }
}

TEST_F(LauncherProgramTest, QuitsWithoutLaunchingOnAFaultyDictionary)
{
    struct Case {
        const char* key;
        QJsonValue value;
    };
    const Case cases[] = {
        {"Application Bundle identifier", QJsonValue(QJsonValue::Null)},
        {"Application Bundle identifier", 1},
        {"Application Name", QJsonValue(QJsonValue::Null)},
        {"Application Name", QJsonArray{"Veltamorine"}},
    };
    const QString launcher = install(scratch.filePath(QStringLiteral("Velta App")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        overlay = {{"CFBundleIdentifier", launcherId}, {"Application Bundle identifier", appId}};
        overlay.insert(c.key, c.value);
        expectQuitsOnItsOwn(startLauncher(launcher));
        EXPECT_FALSE(QFileInfo::exists(launchedMarker));
    }
}

TEST_F(LauncherProgramTest, QuitsWithoutLaunchingWhenPlacedTooHigh)
{
    // Directly inside the temporary folder there are not three folders to go up.
    const QString folder = QDir(QDir::tempPath()).canonicalPath();
    if (QDir::cleanPath(folder).split(u'/', Qt::SkipEmptyParts).size() >= 3)
        GTEST_SKIP() << "the temporary folder is too deep for this case: " << folder.toStdString();
    const QString launcher = folder + u'/' + unique(QStringLiteral("VeltamorineLauncher"));
    ASSERT_TRUE(copyExecutable(QStringLiteral(LAUNCHER_PROGRAM), launcher));

    QProcess& process = startLauncher(launcher);
    expectQuitsOnItsOwn(process);
    QFile::remove(launcher);
    EXPECT_FALSE(QFileInfo::exists(launchedMarker));
}

}

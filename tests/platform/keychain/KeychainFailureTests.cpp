#include "TestSupport.h"

#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// What the probe printed, as name → value.
QMap<QString, QString> runProbe(const QStringList& command, const QProcessEnvironment& environment, int budgetMs)
{
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(command.first(), command.mid(1));
    if (!probe.waitForFinished(budgetMs)) {
        probe.kill();
        probe.waitForFinished(2000);
        ADD_FAILURE() << "probe did not finish within " << budgetMs << " ms";
        return {};
    }
    QMap<QString, QString> results;
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            results.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    return results;
}

QString probePath()
{
    return TestSupport::builtProgram(QStringLiteral("tests/platform/keychain/keychain-probe"));
}

// A session of its own: a fresh bus and home, so nothing touches the test session's keyring.
struct PrivateSession {
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    PrivateSession()
    {
        environment.insert("HOME", dir.path());
        environment.insert("XDG_RUNTIME_DIR", dir.path());
        environment.insert("XDG_DATA_HOME", dir.path() + "/data");
        environment.insert("XDG_CONFIG_HOME", dir.path() + "/config");
    }
    QStringList command(const QStringList& probeArguments) const
    {
        return QStringList{QStandardPaths::findExecutable("dbus-run-session"), "--", probePath()} + probeArguments;
    }
};

TEST(KeychainFailures, WithoutASessionBusReadsAreAbsentAndWritesFail)
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/veltamorine-bus");
    const auto r = runProbe({probePath(), "plain"}, environment, 20000);
    EXPECT_EQ(r.value("readStored"), "absent");
    EXPECT_EQ(r.value("write"), "failed");
    EXPECT_EQ(r.value("readNew"), "absent");
    EXPECT_EQ(r.value("remove"), "failed");
}

TEST(KeychainFailures, LockedKeyringIsNeitherReadNorWrittenAndNothingPrompts)
{
    PrivateSession session;
    ASSERT_TRUE(session.dir.isValid());
    const auto r = runProbe(session.command({"locked"}), session.environment, 25000);
    ASSERT_EQ(r.value("setup"), "ok");
    EXPECT_EQ(r.value("readStored"), "absent") << "the item exists but stays locked";
    EXPECT_EQ(r.value("write"), "failed");
    EXPECT_EQ(r.value("readNew"), "absent");
    EXPECT_EQ(r.value("remove"), "failed") << "the locked item cannot be deleted";
    EXPECT_EQ(r.value("storedItemsLeft"), "1") << "so reporting success would be wrong";
    EXPECT_LT(r.value("elapsedMs").toInt(), 5000);
}

TEST(KeychainFailures, KeyringThatNeverAnswersCannotHangTheCaller)
{
    PrivateSession session;
    ASSERT_TRUE(session.dir.isValid());
    const auto r = runProbe(session.command({"silent", "300"}), session.environment, 20000);
    ASSERT_EQ(r.value("setup"), "ok");
    EXPECT_EQ(r.value("readStored"), "absent");
    EXPECT_EQ(r.value("write"), "failed");
    EXPECT_EQ(r.value("remove"), "failed");
    // Four calls, each given up after 300 ms.
    EXPECT_LT(r.value("elapsedMs").toInt(), 4 * 300 + 2000);
}

}

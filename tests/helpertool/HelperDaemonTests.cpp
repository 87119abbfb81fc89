#include "HelperTestFixture.h"
#include "TestSupport.h"
#include "SocketActivation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace HelperTestFixture;

namespace {

// The daemon program as systemd would run it, on a socket of its own, with clients that are
// separate programs: signed, unsigned, signed by someone else, or started with a preload.
class HelperDaemonTests : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QProcess daemon;

    QString socketPath() { return dir.filePath("helper.sock"); }

    void SetUp() override
    {
        daemon.setProcessChannelMode(QProcess::SeparateChannels);
        daemon.start(daemonProgram(), { "--socket", socketPath(), "--rules-folder", dir.path(), "--nft",
                                          writeFakeTool(dir.path(), "nft") });
        ASSERT_TRUE(daemon.waitForStarted(5000));
        ASSERT_TRUE(TestSupport::waitForFile(daemon, socketPath()));
    }
    void TearDown() override
    {
        if (daemon.state() != QProcess::NotRunning) {
            daemon.kill();
            daemon.waitForFinished(5000);
        }
    }

    QByteArray daemonOutput;
    bool daemonPrinted(const QByteArray& line)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            daemonOutput += daemon.readAllStandardOutput();
            if (daemonOutput.contains(line + '\n') || timer.elapsed() > 5000)
                return daemonOutput.contains(line + '\n');
            daemon.waitForReadyRead(50);
        }
    }

    struct ClientRun {
        int exitCode;
        QByteArray output;
    };
    ClientRun runClient(const QString& program, const QStringList& arguments, const QStringList& extraEnvironment = {},
        int timeoutMs = 5000)
    {
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : extraEnvironment)
            environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
        client.setProcessEnvironment(environment);
        client.start(program, QStringList { socketPath(), QString::number(timeoutMs) } + arguments);
        EXPECT_TRUE(client.waitForFinished(15000));
        return { client.exitCode(), client.readAllStandardOutput().trimmed() };
    }
};

}

TEST_F(HelperDaemonTests, signedClientIsServedAndOthersAreRefused)
{
    // The copies are made first: the daemon ends about a second after its last client, and
    // making certificates on a loaded machine can take longer than that.
    QTemporaryDir copies;
    ASSERT_TRUE(makeCertificate(copies.path(), "otherRoot", "", true));
    ASSERT_TRUE(makeCertificate(copies.path(), "otherLeaf", copies.filePath("otherRoot"), false));
    const QString unsignedCopy = copyProgram(clientProgram(), QDir(copies.path()).filePath(""), false);
    QDir(copies.path()).mkdir("other");
    const QString foreignCopy = copyProgram(clientProgram(), copies.filePath("other"), false);
    ASSERT_TRUE(sign(foreignCopy, copies.filePath("otherLeaf"), { copies.filePath("otherRoot.pem") }));

    const ClientRun signedRun = runClient(clientProgram(), { "getVersion" });
    EXPECT_EQ(signedRun.exitCode, 0);
    EXPECT_EQ(signedRun.output, QByteArray("[\"1.0.0\"]"));

    struct Case {
        const char* name;
        QString program;
        QStringList environment;
    };
    const QString libm = QFileInfo::exists("/lib/x86_64-linux-gnu/libm.so.6") ? "/lib/x86_64-linux-gnu/libm.so.6" : "libm.so.6";
    const Case refused[] = {
        { "unsigned", unsignedCopy, {} },
        { "signed by another root", foreignCopy, {} },
        // Under AddressSanitizer the preload would stop the client before it connects.
        { "signed but preloading a library", clientProgram(),
            { "LD_PRELOAD=" + libm, "ASAN_OPTIONS=" + qEnvironmentVariable("ASAN_OPTIONS") + ":verify_asan_link_order=0" } },
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        const ClientRun run = runClient(c.program, { "getVersion" }, c.environment);
        EXPECT_EQ(run.exitCode, 2) << "the daemon closes the connection";
        EXPECT_TRUE(run.output.isEmpty());
    }

    // The refusals left the daemon serving.
    EXPECT_EQ(runClient(clientProgram(), { "getVersion" }).output, QByteArray("[\"1.0.0\"]"));
    EXPECT_TRUE(daemonPrinted("@Helper self.isValid(connection false"));
    EXPECT_TRUE(daemonPrinted("@Helper self.isValid(connection YES"));
}

TEST_F(HelperDaemonTests, unknownCommandGetsNoReply)
{
    EXPECT_EQ(runClient(clientProgram(), { "getversion" }, {}, 500).exitCode, 3);
}

TEST_F(HelperDaemonTests, daemonEndsAboutOneSecondAfterItsLastClient)
{
    ASSERT_EQ(runClient(clientProgram(), { "getVersion" }).exitCode, 0);
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(daemon.waitForFinished(5000));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(daemon.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(daemon.exitCode(), 0);
    EXPECT_TRUE(daemonPrinted("@Helper Main Running"));
}

TEST(HelperDaemonActivationTests, daemonServesTheSocketSystemdPasses)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("activated.sock");
    const auto listening = SocketActivation::listenOn(path);
    ASSERT_TRUE(listening.has_value());
    const int fd = *listening;

    QProcess daemon;
    daemon.setProgram(daemonProgram());
    daemon.setArguments({ "--rules-folder", dir.path() });
    // As systemd does: the socket as descriptor 3 and the variables naming this very process.
    daemon.setChildProcessModifier([fd] {
        if (fd == 3)
            ::fcntl(3, F_SETFD, 0);
        else
            ::dup2(fd, 3);
        ::setenv("LISTEN_FDS", "1", 1);
        ::setenv("LISTEN_PID", QByteArray::number(::getpid()).constData(), 1);
    });
    daemon.start();
    ASSERT_TRUE(daemon.waitForStarted(5000));
    ::close(fd);

    QProcess client;
    client.start(clientProgram(), { path, "5000", "getVersion" });
    ASSERT_TRUE(client.waitForFinished(10000));
    EXPECT_EQ(client.readAllStandardOutput().trimmed(), QByteArray("[\"1.0.0\"]"));
    EXPECT_TRUE(daemon.waitForFinished(5000)) << "idle after its only client";
    EXPECT_EQ(daemon.exitCode(), 0);
}

TEST(HelperDaemonActivationTests, daemonWithoutASocketRefusesToStart)
{
    QProcess daemon;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LISTEN_FDS", "1");
    environment.insert("LISTEN_PID", "1");  // meant for another process
    daemon.setProcessEnvironment(environment);
    daemon.start(daemonProgram(), {});
    ASSERT_TRUE(daemon.waitForFinished(5000));
    EXPECT_EQ(daemon.exitCode(), 1);
}

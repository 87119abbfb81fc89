#include "SandboxClientFixture.h"
#include "TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SandboxProgram, ServesTheDevelopmentRoutesAndWritesItsInformation)
{
    QTemporaryDir dir;
    const QString infoPath = dir.filePath(QStringLiteral("info.json"));
    QProcess program;
    program.start(TestSupport::builtProgram(QStringLiteral("sandbox/veltamorine-sandbox")), {QStringLiteral("--info"), infoPath});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return program.canReadLine(); }, 5000));
    const quint16 port = quint16(program.readLine().trimmed().toUInt());
    ASSERT_GT(port, 0);

    QFile info(infoPath);
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(info.readAll()).object().value(QStringLiteral("API Gateway Host")).toString(),
        QStringLiteral("127.0.0.1:%1").arg(port));

    const auto reply = sendToSandbox("GET", QUrl(QStringLiteral("https://127.0.0.1:%1/macOS/Veltamorine.pkg").arg(port)));
    EXPECT_EQ(reply.status, 200);
    EXPECT_FALSE(reply.body.isEmpty());

    program.terminate();
    EXPECT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

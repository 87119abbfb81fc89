#include "HelperTestFixture.h"
#include "ToolRunner.h"

#include <QTemporaryDir>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace HelperTestFixture;

TEST(ToolRunnerTests, argumentsReachTheToolAsTheyAreWithoutAShell)
{
    QTemporaryDir dir;
    const QString tool = writeFakeTool(dir.path());
    const QStringList arguments { "-f", "-", "a b", "$(touch pwned)", "'; rm -rf /", "*", "" };
    const auto result = ToolRunner().run(QStringList { tool } + arguments, "table inet x\n");
    EXPECT_EQ(result.status, 0);
    const auto calls = toolCalls(dir.path());
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].arguments, arguments);
    EXPECT_EQ(calls[0].input, QByteArray("table inet x\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath("pwned")));
}

TEST(ToolRunnerTests, exitStatusAndOutputAreReported)
{
    QTemporaryDir dir;
    const QString tool = writeFakeTool(dir.path());
    writeFile(dir.filePath("status"), "3");
    writeFile(dir.filePath("output"), "some text\n");
    QByteArray streamed;
    const auto result = ToolRunner().run({ tool }, {}, [&](const QByteArray& chunk) { streamed += chunk; });
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.output, QByteArray("some text\n"));
    EXPECT_EQ(streamed, result.output);
}

TEST(ToolRunnerTests, missingProgramReports127)
{
    EXPECT_EQ(ToolRunner().run({ "/nonexistent/nft", "list" }).status, 127);
    EXPECT_EQ(ToolRunner().run({}).status, 127);
}

TEST(ToolRunnerTests, megabytesInBothDirectionsNeitherDeadlockNorTruncate)
{
    // cat writes back while it reads: a runner that fed all input before reading would stall
    // as soon as both pipes are full.
    QByteArray input;
    for (int i = 0; input.size() < 3 * 1024 * 1024; ++i)
        input += QByteArray::number(i) + '\n';
    QElapsedTimer timer;
    timer.start();
    const auto result = ToolRunner(20).run({ "/bin/cat" }, input);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output.size(), input.size());
    EXPECT_TRUE(result.output == input);
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST(ToolRunnerTests, toolThatIgnoresItsInputDoesNotHangTheRunner)
{
    const auto result = ToolRunner(20).run({ "/bin/true" }, QByteArray(4 * 1024 * 1024, 'x'));
    EXPECT_EQ(result.status, 0);
}

TEST(ToolRunnerTests, toolPastItsTimeIsKilled)
{
    QElapsedTimer timer;
    timer.start();
    const auto result = ToolRunner(1).run({ "/bin/sleep", "30" });
    EXPECT_EQ(result.status, 128 + 9);
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST(ToolRunnerTests, environmentIsMinimal)
{
    qputenv("VEL_SECRET_OF_THE_CALLER", "x");
    const auto result = ToolRunner().run({ "/usr/bin/env" });
    qunsetenv("VEL_SECRET_OF_THE_CALLER");
    EXPECT_EQ(result.output, QByteArray("PATH=/usr/sbin:/usr/bin:/sbin:/bin\nLC_ALL=C\n"));
}

#include "DownloadFileName.h"
#include "HttpError.h"
#include "HttpSessionFixture.h"
#include "MainQueue.h"
#include "NetworkError.h"
#include "SandboxAssertions.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

struct DownloadRun {
    std::optional<DownloadResponse> response;
    QList<DownloadProgress> progress;
    int completions = 0;
    bool allOnMainThread = true;
};

DownloadRun runDownload(HttpSession& session, const QUrl& url, const QString& directory,
    std::function<void(const DownloadRun&)> whileRunning = {})
{
    DownloadRun run;
    HttpSession::DownloadOptions options;
    options.directory = directory;
    options.fallbackFileName = QStringLiteral("Veltamorine.pkg");
    options.progress = [&run](const DownloadProgress& progress) {
        run.allOnMainThread = run.allOnMainThread && MainQueue::isMainThread();
        run.progress.append(progress);
    };
    session.download(getRequest(url), options, [&run](const DownloadResponse& response) {
        run.allOnMainThread = run.allOnMainThread && MainQueue::isMainThread();
        ++run.completions;
        run.response = response;
    });
    if (whileRunning)
        whileRunning(run);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return run.completions > 0; }, 8000));
    TestSupport::processEvents(20);
    EXPECT_EQ(run.completions, 1);
    EXPECT_TRUE(run.allOnMainThread);
    return run;
}

}

class HttpDownloadTest : public ::testing::Test {
protected:
    ScopedSandbox sandbox;
    HttpSession session{sandboxConfiguration()};
    QTemporaryDir home;
    QString folder = home.filePath(QStringLiteral("Application Support/new"));
};

TEST_F(HttpDownloadTest, StoresTheFileUnderItsNameAndReportsProgress)
{
    const QByteArray content(512 * 1024, 'v');
    SandboxReply reply = SandboxReply::file(content, "Veltamorine.pkg", 32 * 1024);
    reply.holdAfterBytes = 128 * 1024;  // the test sees the first part before the rest comes
    sandbox.reply("GET", QStringLiteral("/macOS/Veltamorine.pkg"), reply);
    QDir().mkpath(folder);
    QFile old(folder + QStringLiteral("/Veltamorine.pkg"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older package");
    old.close();

    const DownloadRun run = runDownload(session, sandbox.url(QStringLiteral("/macOS/Veltamorine.pkg")), folder,
        [this](const DownloadRun& running) {
            EXPECT_TRUE(TestSupport::waitUntil([&] {
                return !running.progress.isEmpty() && running.progress.last().completed == 128 * 1024;
            }));
            EXPECT_EQ(running.progress.last().total, 512 * 1024);
            EXPECT_DOUBLE_EQ(running.progress.last().fractionCompleted(), 0.25);
            // Nothing replaces the older file while the download runs.
            EXPECT_EQ(readFile(folder + QStringLiteral("/Veltamorine.pkg")), "older package");
            sandbox.releaseHeldReplies();
        });

    ASSERT_TRUE(run.response->result) << run.response->error()->message.toStdString();
    EXPECT_EQ(*run.response->result, QDir(folder).filePath(QStringLiteral("Veltamorine.pkg")));
    EXPECT_EQ(readFile(*run.response->result), content);
    ASSERT_GE(run.progress.size(), 2);
    for (qsizetype i = 1; i < run.progress.size(); ++i)
        EXPECT_GE(run.progress[i].completed, run.progress[i - 1].completed);
    EXPECT_EQ(run.progress.last().completed, content.size());
    EXPECT_EQ(run.progress.last().total, content.size());
    EXPECT_DOUBLE_EQ(run.progress.last().fractionCompleted(), 1.0);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Veltamorine.pkg")});
}

TEST_F(HttpDownloadTest, KeepsOnlyASafeBaseNameOfWhatTheServerSuggests)
{
    const struct {
        const char* path;
        QByteArray suggested;
        const char* stored;
    } cases[] = {
        {"/a/Update.pkg", "../../../.bashrc", "bashrc"},
        {"/b/Update.pkg", "/etc/cron.d/job", "job"},
        {"/c/Update.pkg", "..", "Veltamorine.pkg"},
        {"/d/Update.pkg", "", "Update.pkg"},
        {"/e/", "", "Veltamorine.pkg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        sandbox.reply("GET", QString::fromLatin1(c.path), SandboxReply::file("data", c.suggested, 2));
        const DownloadRun run = runDownload(session, sandbox.url(QString::fromLatin1(c.path)), folder);
        ASSERT_TRUE(run.response->result);
        EXPECT_EQ(*run.response->result, QDir(folder).filePath(QLatin1String(c.stored)));
        EXPECT_EQ(readFile(*run.response->result), "data");
    }
    // Nothing was written outside the destination folder.
    EXPECT_EQ(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList{QStringLiteral("Application Support")});
}

TEST_F(HttpDownloadTest, ARefusedStatusStoresNothingAndKeepsTheOlderFile)
{
    sandbox.reply("GET", QStringLiteral("/missing.pkg"), SandboxReply::raw(404, "not here", "text/plain"));
    QDir().mkpath(folder);
    QFile old(folder + QStringLiteral("/missing.pkg"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older");
    old.close();

    const DownloadRun run = runDownload(session, sandbox.url(QStringLiteral("/missing.pkg")), folder);

    ASSERT_FALSE(run.response->result);
    EXPECT_TRUE(run.response->error()->is(HttpError::domain, HttpError::ResponseValidationFailed));
    EXPECT_EQ(readFile(folder + QStringLiteral("/missing.pkg")), "older");
    EXPECT_TRUE(run.progress.isEmpty());
}

TEST_F(HttpDownloadTest, ATransferFailureLeavesNoPartialFile)
{
    HttpSession quick(sandboxConfiguration(300));
    sandbox.reply("GET", QStringLiteral("/stall.pkg"), SandboxReply::stalled());
    const DownloadRun run = runDownload(quick, sandbox.url(QStringLiteral("/stall.pkg")), folder);
    ASSERT_FALSE(run.response->result);
    EXPECT_TRUE(run.response->error()->rootError().is(NetworkError::domain, NetworkError::TimedOut));
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(HttpDownloadTest, AnUnwritableDestinationFailsAsAFileError)
{
    QFile blocker(home.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    sandbox.reply("GET", QStringLiteral("/x.pkg"), SandboxReply::file("data", "x.pkg"));
    const DownloadRun run = runDownload(session, sandbox.url(QStringLiteral("/x.pkg")), blocker.fileName() + QStringLiteral("/sub"));
    ASSERT_FALSE(run.response->result);
    EXPECT_TRUE(run.response->error()->is(HttpError::domain, HttpError::DownloadFileFailed));
    EXPECT_TRUE(run.response->error()->rootError().is(NetworkError::domain, NetworkError::CannotCreateFile));
}

TEST(DownloadFileName, SanitisedNames)
{
    const QString fallback = QStringLiteral("Veltamorine.pkg");
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {QStringLiteral("Veltamorine.pkg"), QStringLiteral("Veltamorine.pkg")},
        {QStringLiteral("Veltamorine 3.1 (117).pkg"), QStringLiteral("Veltamorine 3.1 (117).pkg")},
        {QStringLiteral("../../etc/passwd"), QStringLiteral("passwd")},
        {QStringLiteral("..\\..\\evil.exe"), QStringLiteral("evil.exe")},
        {QStringLiteral(".hidden"), QStringLiteral("hidden")},
        {QStringLiteral("-rf"), QStringLiteral("rf")},
        {QStringLiteral("a\nb\tc.pkg"), QStringLiteral("abc.pkg")},
        {QStringLiteral("$(reboot);.pkg"), QStringLiteral("(reboot).pkg")},
        {QStringLiteral("name. . "), QStringLiteral("name")},
        {QStringLiteral("Größe.pkg"), QStringLiteral("Größe.pkg")},
        {QStringLiteral("."), fallback},
        {QStringLiteral(".."), fallback},
        {QStringLiteral("dir/"), fallback},
        {QString(), fallback},
        {QStringLiteral("%%%*?"), fallback},
        {QString(300, u'a'), QString(255, u'a')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DownloadFileName::sanitized(c.in, fallback).toStdString(), c.out.toStdString()) << c.in.toStdString();
}

TEST(DownloadFileName, SuggestedNameComesFromTheHeaderThenTheUrl)
{
    const QUrl url(QStringLiteral("https://127.0.0.1/macOS/From%20Url.pkg?x=1"));
    const struct {
        QByteArray header;
        QString out;
    } cases[] = {
        {"attachment; filename=\"Quoted Name.pkg\"", QStringLiteral("Quoted Name.pkg")},
        {"attachment; filename=plain.pkg", QStringLiteral("plain.pkg")},
        {"attachment; filename=\"a.pkg\"; filename*=UTF-8''%C3%BC.pkg", QStringLiteral("ü.pkg")},
        {"attachment; filename=\"esc\\\"aped.pkg\"", QStringLiteral("esc\"aped.pkg")},
        {"attachment", QStringLiteral("From Url.pkg")},
        {"", QStringLiteral("From Url.pkg")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DownloadFileName::suggested(c.header, url).toStdString(), c.out.toStdString()) << c.header.toStdString();
}

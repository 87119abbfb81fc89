#include "LoginItem.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <optional>

namespace {

const QString identifier = QStringLiteral("com.veltamorine.VeltamorineLauncher");
const QString launcher = QStringLiteral("/opt/Velta App/libexec/veltamorine/VeltamorineLauncher/VeltamorineLauncher");

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString execLine(const QString& entry)
{
    for (const QString& line : entry.split(u'\n')) {
        if (line.startsWith(u"Exec="))
            return line.mid(5);
    }
    return {};
}

// Lets this thread meet file permissions the way an ordinary user does, even when the tests
// run as root, which would otherwise write into read-only folders.
class WithoutFileOverrides {
public:
    WithoutFileOverrides()
    {
        ok = syscall(SYS_capget, &header, saved) == 0;
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[capability / 32].effective &= ~(1u << (capability % 32));
        ok = ok && syscall(SYS_capset, &header, reduced) == 0;
    }
    ~WithoutFileOverrides() { syscall(SYS_capset, &header, saved); }
    bool ok = false;

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
};

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, std::optional<QByteArray> value)
        : name(name), previous(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        set(value);
    }
    ~EnvironmentVariable() { set(previous); }

private:
    void set(const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    const char* name;
    std::optional<QByteArray> previous;
};

TEST(LoginItem, WritesAnAutostartEntryThatStartsTheLauncherAndRemovesIt)
{
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("config/autostart"));
    LoginItem item(identifier, launcher, folder);
    EXPECT_EQ(item.entryPath(), folder + u'/' + identifier + QStringLiteral(".desktop"));

    ASSERT_TRUE(item.setEnabled(true).has_value());
    EXPECT_EQ(readAll(item.entryPath()),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Version=1.0\n"
              "Name=VeltamorineLauncher\n"
              "Exec=\"/opt/Velta App/libexec/veltamorine/VeltamorineLauncher/VeltamorineLauncher\"\n"
              "Terminal=false\n"
              "NoDisplay=true\n"
              "X-GNOME-Autostart-enabled=true\n");
    ASSERT_TRUE(item.setEnabled(true).has_value()) << "enabling twice keeps one entry";
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{identifier + QStringLiteral(".desktop")});

    ASSERT_TRUE(item.setEnabled(false).has_value());
    EXPECT_FALSE(QFileInfo::exists(item.entryPath()));
    EXPECT_TRUE(item.setEnabled(false).has_value()) << "removing an absent entry is no failure";
}

TEST(LoginItem, QuotesTheLauncherPathForTheExecKey)
{
    struct Case {
        QString path;
        QString exec;
    };
    const Case cases[] = {
        {"/opt/v/L", R"("/opt/v/L")"},
        {"/opt/with space/L", R"("/opt/with space/L")"},
        {R"(/opt/q"uote/L)", R"("/opt/q\\"uote/L")"},
        {"/opt/$HOME/L", R"("/opt/\\$HOME/L")"},
        {"/opt/`id`/L", R"("/opt/\\`id\\`/L")"},
        {R"(/opt/back\slash/L)", R"("/opt/back\\\\slash/L")"},
        {"/opt/100%u/L", R"("/opt/100%%u/L")"},
        {"/opt/semi;colon&amp/L", R"("/opt/semi;colon&amp/L")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const auto entry = LoginItem::desktopEntry(c.path);
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(execLine(*entry), c.exec);
    }
}

// A desktop's own reader of autostart entries starts exactly the launcher, however odd its path.
TEST(LoginItem, EntryStartsTheLauncherThroughTheDesktopsOwnReader)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "gio is not installed";
    QTemporaryDir root;
    const QString marker = root.filePath(QStringLiteral("started"));
    const QString program = root.filePath(QStringLiteral(R"(Velta App $HOME "q" `x` back\slash/VeltamorineLauncher)"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(program).path()));
    {
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s' \"$0\" > \"$LOGIN_ITEM_MARKER\"\n");
    }
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    LoginItem item(identifier, program, root.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(item.setEnabled(true).has_value());

    QProcess launch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LOGIN_ITEM_MARKER"), marker);
    launch.setProcessEnvironment(environment);
    launch.start(gio, {QStringLiteral("launch"), item.entryPath()});
    ASSERT_TRUE(launch.waitForFinished(10'000));
    ASSERT_EQ(launch.exitCode(), 0) << launch.readAllStandardError().toStdString();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return QFileInfo(marker).size() > 0; }, 10'000));
    EXPECT_EQ(readAll(marker), program);
}

TEST(LoginItem, FolderThatCannotBeWrittenGivesAnError)
{
    QTemporaryDir home;
    const QString readOnly = home.filePath(QStringLiteral("read-only"));
    const QString plainFile = home.filePath(QStringLiteral("a-file"));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    ASSERT_TRUE(QFile(plainFile).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    WithoutFileOverrides ordinaryUser;
    ASSERT_TRUE(ordinaryUser.ok);
    for (const QString& folder : {readOnly, readOnly + QStringLiteral("/autostart"), plainFile}) {
        SCOPED_TRACE(folder.toStdString());
        const auto result = LoginItem(identifier, launcher, folder).setEnabled(true);
        ASSERT_FALSE(result.has_value());
        EXPECT_TRUE(result.error().is(LoginItem::errorDomain, LoginItem::writeFailed));
        EXPECT_FALSE(QFileInfo::exists(LoginItem(identifier, launcher, folder).entryPath()));
    }
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(LoginItem, EntryInAFolderThatCannotBeWrittenCannotBeRemoved)
{
    QTemporaryDir home;
    LoginItem item(identifier, launcher, home.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(item.setEnabled(true).has_value());
    const QString folder = QFileInfo(item.entryPath()).path();
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    {
        WithoutFileOverrides ordinaryUser;
        ASSERT_TRUE(ordinaryUser.ok);
        const auto result = item.setEnabled(false);
        ASSERT_FALSE(result.has_value());
        EXPECT_TRUE(result.error().is(LoginItem::errorDomain, LoginItem::removeFailed));
    }
    EXPECT_TRUE(QFileInfo::exists(item.entryPath()));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(LoginItem, RefusesIdentifiersAndLaunchersAnEntryCannotHold)
{
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("autostart"));
    struct Case {
        QString identifier;
        QString launcher;
    };
    const Case cases[] = {
        {"", launcher},
        {"../escape", launcher},
        {"a/b", launcher},
        {identifier, "relative/VeltamorineLauncher"},
        {identifier, "/opt/new\nline/VeltamorineLauncher"},
        {identifier, "/opt/tab\t/VeltamorineLauncher"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.identifier + u' ' + c.launcher).toStdString());
        const auto result = LoginItem(c.identifier, c.launcher, folder).setEnabled(true);
        ASSERT_FALSE(result.has_value());
        EXPECT_TRUE(result.error().is(LoginItem::errorDomain, LoginItem::invalidItem));
    }
    EXPECT_TRUE(!QFileInfo::exists(folder) || QDir(folder).isEmpty());
}

TEST(LoginItem, AutostartFolderFollowsTheXdgConfigHome)
{
    struct Case {
        std::optional<QByteArray> configHome;
        QString expected;
    };
    const QString home = QDir::homePath();
    const Case cases[] = {
        {QByteArray("/srv/config"), "/srv/config/autostart"},
        {QByteArray("/srv/config/"), "/srv/config/autostart"},
        {QByteArray("relative/config"), home + "/.config/autostart"},
        {QByteArray(""), home + "/.config/autostart"},
        {std::nullopt, home + "/.config/autostart"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configHome.value_or("<unset>").toStdString());
        EnvironmentVariable variable("XDG_CONFIG_HOME", c.configHome);
        EXPECT_EQ(LoginItem::defaultAutostartDirectory(), c.expected);
        EXPECT_EQ(LoginItem(identifier, launcher).entryPath(), c.expected + u'/' + identifier + ".desktop");
    }
}

TEST(LoginItem, DefaultLauncherIsTheOneInstalledBesideTheApplication)
{
    EXPECT_EQ(LoginItem::installedLauncherPath(identifier, "/opt/Velta App/bin/Veltamorine"), launcher);
    EXPECT_EQ(LoginItem::installedLauncherPath(identifier, "/usr/bin/Veltamorine"),
              "/usr/libexec/veltamorine/VeltamorineLauncher/VeltamorineLauncher");
    const QString expected = LoginItem::installedLauncherPath(identifier, QCoreApplication::applicationFilePath());
    EXPECT_EQ(LoginItem(identifier).launcherPath(), expected);
}

}

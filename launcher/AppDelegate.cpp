#include "AppDelegate.h"

#include "LauncherLog.h"

#include <QDir>
#include <QStringList>

namespace {

// The launcher's folder sits three levels below the installation's root:
// <prefix>/libexec/veltamorine/VeltamorineLauncher, and the application is <prefix>/bin/<name>.
constexpr qsizetype levelsBelowRoot = 3;
constexpr auto applicationFolder = "bin";

}

Bundle AppDelegate::launcherBundle()
{
    return Bundle::load(QString::fromLatin1(infoResource), qEnvironmentVariable(overlayVariable));
}

AppDelegate::AppDelegate(Bundle bundle, QString bundlePath, DistributedNotificationCenter& center,
                         Workspace workspace, QObject* parent)
    : QObject(parent),
      bundle(std::move(bundle)),
      bundlePath(std::move(bundlePath)),
      center(center),
      workspace(std::move(workspace))
{
}

void AppDelegate::applicationDidFinishLaunching()
{
    // Our own name is how the application sees that a launcher runs. Taking it is also a round
    // trip through the bus, after which the notification centre's subscription is in place.
    if (const auto own = infoString(bundleIdentifierKey)) {
        if (!workspace.claim(*own) && workspace.isRunning(*own)) {
            qCInfo(lcLauncher) << "another launcher is running already";
            terminate();
            return;
        }
    }

    const auto mainAppId = infoString(applicationBundleIdentifierKey);
    if (!mainAppId) {
        qCWarning(lcLauncher) << "the information dictionary has no" << applicationBundleIdentifierKey;
        terminate();
        return;
    }
    if (workspace.isRunning(*mainAppId)) {
        qCInfo(lcLauncher) << "the application is running already";
        terminate();
        return;
    }

    const auto name = infoString(applicationNameKey);
    const auto path = name ? mainApplicationPath(bundlePath, *name) : std::nullopt;
    if (!path) {
        qCWarning(lcLauncher) << "cannot locate the application from" << bundlePath;
        terminate();
        return;
    }

    center.observe(QString::fromLatin1(killNotificationName), *mainAppId, this,
                   [this](const Notification&) { terminate(); });
    // Whether it started or not, we stay until the application tells us to go.
    workspace.launchApplication(*path);
}

void AppDelegate::terminate()
{
    workspace.terminate();
}

std::optional<QString> AppDelegate::mainApplicationPath(const QString& bundlePath, const QString& applicationName)
{
    // A path relative to wherever we were started from, or a name that walks out of the
    // application folder, would start some other program.
    if (!QDir::isAbsolutePath(bundlePath))
        return std::nullopt;
    if (applicationName.isEmpty() || applicationName == u"." || applicationName == u".."
        || applicationName.contains(u'/') || applicationName.contains(QChar(0)))
        return std::nullopt;

    QStringList components = QDir::cleanPath(bundlePath).split(u'/', Qt::SkipEmptyParts);
    if (components.size() < levelsBelowRoot)
        return std::nullopt;
    components.resize(components.size() - levelsBelowRoot);
    components << QString::fromLatin1(applicationFolder) << applicationName;
    return u'/' + components.join(u'/');
}

std::optional<QString> AppDelegate::infoString(const char* key) const
{
    const QJsonValue value = bundle.infoDictionary().value(QString::fromLatin1(key));
    if (!value.isString() || value.toString().isEmpty())
        return std::nullopt;
    return value.toString();
}

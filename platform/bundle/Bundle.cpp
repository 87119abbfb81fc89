#include "Bundle.h"

#include "Scheduler.h"

#include <QFile>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcBundle, "veltamorine.bundle")

namespace {

const Bundle* installedMain = nullptr;

std::optional<QJsonObject> readObject(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcBundle) << "cannot read information dictionary" << path << file.errorString();
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject()) {
        qCWarning(lcBundle) << "information dictionary" << path << "is not a JSON object:" << error.errorString();
        return std::nullopt;
    }
    return document.object();
}

}

const Bundle& Bundle::main()
{
    if (installedMain)
        return *installedMain;
    static const Bundle bundle = load(QString::fromLatin1(infoResource), qEnvironmentVariable(overlayVariable));
    return bundle;
}

void Bundle::setMain(const Bundle* bundle)
{
    installedMain = bundle;
}

Bundle::Bundle(QJsonObject info)
    : info_(std::move(info))
{
}

Bundle Bundle::load(const QString& infoPath, const QString& overlayPath)
{
    QJsonObject info = readObject(infoPath).value_or(QJsonObject{});
    if (!overlayPath.isEmpty()) {
        if (auto overlay = readObject(overlayPath)) {
            for (auto it = overlay->begin(); it != overlay->end(); ++it)
                info.insert(it.key(), it.value());
        }
    }
    return Bundle(std::move(info));
}

QString Bundle::infoString(const QString& key) const
{
    return info_.value(key).toString();
}

QString Bundle::firebaseAppName() const
{
    return infoString(QStringLiteral("Firebase App Name"));
}

QString Bundle::versionString() const
{
    return shortVersion() + QStringLiteral(" (") + infoString(QStringLiteral("CFBundleVersion")) + u')';
}

QString Bundle::shortVersion() const
{
    return infoString(QStringLiteral("CFBundleShortVersionString"));
}

QString Bundle::releaseCode() const
{
    const QJsonValue value = info_.value(QStringLiteral("Release Code"));
    return value.isString() ? value.toString() : QStringLiteral("PRODUCTION");
}

QString Bundle::buildDistribution() const
{
    return infoString(QStringLiteral("Build Distribution"));
}

QString Bundle::buildEnvironment() const
{
    return infoString(QStringLiteral("Build Environment"));
}

int Bundle::dataStoreVersion() const
{
    return info_.value(QStringLiteral("Data Store Version")).toInt();
}

QString Bundle::applicationBundleIdentifier() const
{
    return infoString(QStringLiteral("Application Bundle identifier"));
}

QString Bundle::launcherBundleIdentifier() const
{
    return infoString(QStringLiteral("Launcher Bundle identifier"));
}

QString Bundle::packetTunnelIdentifier() const
{
    return infoString(QStringLiteral("Packet Tunnel Identifier"));
}

QString Bundle::wireguardPacketTunnelIdentifier() const
{
    return infoString(QStringLiteral("Wireguard Packet Tunnel Identifier"));
}

QString Bundle::packetTunnelGroup() const
{
    return infoString(QStringLiteral("Packet Tunnel Group"));
}

QString Bundle::applicationSupportDirectory() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' + applicationBundleIdentifier();
}

int weeksUntilNow(const QDateTime& date, std::optional<QDateTime> now)
{
    const QDateTime current = now.value_or(Scheduler::main().now());
    if (!date.isValid() || !current.isValid())
        return 0;
    const QDateTime from = std::min(date, current).toLocalTime();
    const QDateTime to = std::max(date, current).toLocalTime();
    // Whole calendar weeks: step from the earlier moment a week at a time (days, so a change
    // of summer time keeps the wall-clock time) while the later one is not passed.
    qint64 weeks = from.daysTo(to) / 7;
    while (weeks > 0 && from.addDays(7 * weeks) > to)
        --weeks;
    while (from.addDays(7 * (weeks + 1)) <= to)
        ++weeks;
    return int(weeks);
}

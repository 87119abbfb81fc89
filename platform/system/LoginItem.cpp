#include "LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcLoginItem, "veltamorine.system.loginitem")

namespace {

Error loginItemError(LoginItem::ErrorCode code, const QString& message)
{
    return Error(QString::fromLatin1(LoginItem::errorDomain), code, message);
}

bool isFileName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

bool hasControlCharacters(const QString& text)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// One argument of an Exec line: quoted, with the characters that stay special inside quotes
// escaped, and '%' doubled so it is not read as a field code.
QString quotedArgument(const QString& argument)
{
    QString out = QStringLiteral("\"");
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        if (c == u'%')
            out += u'%';
        out += c;
    }
    return out + u'"';
}

// The escaping of every string value of a desktop entry, applied after the quoting above.
QString stringValue(const QString& text)
{
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\\\"));
    return out;
}

}

LoginItem::LoginItem(QString identifier, QString launcherPath, QString autostartDirectory)
    : identifier(std::move(identifier)), launcher(std::move(launcherPath)), directory(std::move(autostartDirectory))
{
    if (launcher.isEmpty())
        launcher = installedLauncherPath(this->identifier, QCoreApplication::applicationFilePath());
    if (directory.isEmpty())
        directory = defaultAutostartDirectory();
}

QString LoginItem::defaultAutostartDirectory()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/autostart"));
}

QString LoginItem::installedLauncherPath(const QString& identifier, const QString& applicationPath)
{
    const QString name = identifier.section(u'.', -1);
    const QString prefix = QFileInfo(applicationPath).absolutePath() + QStringLiteral("/..");
    return QDir::cleanPath(prefix + QStringLiteral("/libexec/veltamorine/") + name + u'/' + name);
}

QString LoginItem::entryPath() const
{
    return directory + u'/' + identifier + QStringLiteral(".desktop");
}

std::optional<QString> LoginItem::desktopEntry(const QString& launcherPath)
{
    if (!QDir::isAbsolutePath(launcherPath) || hasControlCharacters(launcherPath))
        return std::nullopt;
    const QString name = QFileInfo(launcherPath).fileName();
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n")
        + QStringLiteral("Name=") + stringValue(name) + u'\n'
        + QStringLiteral("Exec=") + stringValue(quotedArgument(launcherPath)) + u'\n'
        + QStringLiteral("Terminal=false\n"
                         "NoDisplay=true\n"
                         "X-GNOME-Autostart-enabled=true\n");
}

std::expected<void, Error> LoginItem::setEnabled(bool enabled)
{
    if (!isFileName(identifier))
        return std::unexpected(loginItemError(invalidItem, QStringLiteral("The login item has no usable identifier.")));

    if (!enabled) {
        if (!QFileInfo::exists(entryPath()) && !QFileInfo(entryPath()).isSymLink())
            return {};
        QFile entry(entryPath());
        if (!entry.remove()) {
            qCWarning(lcLoginItem) << "cannot remove" << entryPath() << entry.errorString();
            return std::unexpected(loginItemError(removeFailed, entry.errorString()));
        }
        return {};
    }

    const auto text = desktopEntry(launcher);
    if (!text)
        return std::unexpected(loginItemError(invalidItem, QStringLiteral("The launcher path cannot be used at login.")));
    if (!QDir().mkpath(directory)) {
        qCWarning(lcLoginItem) << "cannot create" << directory;
        return std::unexpected(loginItemError(writeFailed, QStringLiteral("Cannot create %1.").arg(directory)));
    }
    QSaveFile entry(entryPath());
    if (!entry.open(QIODevice::WriteOnly)) {
        qCWarning(lcLoginItem) << "cannot write" << entryPath() << entry.errorString();
        return std::unexpected(loginItemError(writeFailed, entry.errorString()));
    }
    entry.write(text->toUtf8());
    if (!entry.commit()) {
        qCWarning(lcLoginItem) << "cannot write" << entryPath() << entry.errorString();
        return std::unexpected(loginItemError(writeFailed, entry.errorString()));
    }
    return {};
}

#pragma once

#include "Error.h"

#include <QString>

#include <expected>
#include <optional>

// Starting a program at login: an XDG autostart entry, <autostart folder>/<identifier>.desktop,
// whose command is the login-item launcher. Enabling writes the entry, disabling removes it.
class LoginItem {
public:
    static constexpr auto errorDomain = "veltamorine.loginitem";
    enum ErrorCode {
        invalidItem = 1,  // the identifier is no file name, or the launcher path cannot go in an entry
        writeFailed = 2,  // the folder or the entry could not be written
        removeFailed = 3,
    };

    // The launcher defaults to the one installed beside this program (installedLauncherPath),
    // the folder to the desktop's autostart folder (defaultAutostartDirectory).
    explicit LoginItem(QString identifier, QString launcherPath = {}, QString autostartDirectory = {});

    // $XDG_CONFIG_HOME/autostart when that variable holds an absolute path, else ~/.config/autostart.
    static QString defaultAutostartDirectory();

    // For an application at <prefix>/bin/<program>, the launcher named by the identifier's last
    // element N: <prefix>/libexec/veltamorine/N/N.
    static QString installedLauncherPath(const QString& identifier, const QString& applicationPath);

    QString launcherPath() const { return launcher; }
    QString entryPath() const;

    // Writes (atomically) or removes the entry. Removing an entry that is not there succeeds.
    std::expected<void, Error> setEnabled(bool enabled);

    // The text of the entry for `launcherPath`, or nothing when the path cannot be written into
    // one (not absolute, or holding control characters).
    static std::optional<QString> desktopEntry(const QString& launcherPath);

private:
    QString identifier;
    QString launcher;
    QString directory;
};

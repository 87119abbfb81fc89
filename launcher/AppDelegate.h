#pragma once

#include "Bundle.h"
#include "DistributedNotificationCenter.h"
#include "Workspace.h"

#include <QObject>
#include <QString>

#include <optional>

// The whole behaviour of the login-item launcher: at login it starts the application unless the
// application already runs, then waits until the application tells it to quit.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Posted by the application, with its bundle identifier as object, when it finds us running.
    static constexpr auto killNotificationName = "killVeltamorineLauncher";
    static constexpr auto applicationBundleIdentifierKey = "Application Bundle identifier";
    static constexpr auto applicationNameKey = "Application Name";
    static constexpr auto bundleIdentifierKey = "CFBundleIdentifier";

    // The launcher's own information dictionary, compiled in; VELTAMORINE_LAUNCHER_INFO may name
    // a JSON file whose entries replace those of the compiled one.
    static constexpr auto infoResource = ":/launcher/Info.json";
    static constexpr auto overlayVariable = "VELTAMORINE_LAUNCHER_INFO";
    static Bundle launcherBundle();

    // `bundlePath` is the launcher's own folder in the installed layout
    // (<prefix>/libexec/veltamorine/VeltamorineLauncher).
    AppDelegate(Bundle bundle, QString bundlePath, DistributedNotificationCenter& center, Workspace workspace,
                QObject* parent = nullptr);

    void applicationDidFinishLaunching();
    // Asks the program to end.
    Q_INVOKABLE void terminate();

    // The application's executable: the launcher's folder without its last three components
    // (its own folder, "veltamorine", "libexec"), then "bin" and the application's name.
    // Nothing when the folder is not an absolute path of at least three components or the name
    // is not a plain file name.
    static std::optional<QString> mainApplicationPath(const QString& bundlePath, const QString& applicationName);

private:
    std::optional<QString> infoString(const char* key) const;

    Bundle bundle;
    QString bundlePath;
    DistributedNotificationCenter& center;
    Workspace workspace;
};

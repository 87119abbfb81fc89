#include "AppDelegate.h"
#include "DistributedNotificationCenter.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QMetaObject>

// The login-item launcher: no window, no menu, no arguments of its own.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    // The centre subscribes to the bus before the start-up below can launch anything that posts.
    DistributedNotificationCenter& center = DistributedNotificationCenter::defaultCenter();
    AppDelegate delegate(AppDelegate::launcherBundle(), QCoreApplication::applicationDirPath(), center,
                         Workspace::shared());
    QMetaObject::invokeMethod(&delegate, &AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
    return app.exec();
}

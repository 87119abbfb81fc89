#include "Workspace.h"

#include "LauncherLog.h"
#include "SessionBusName.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QProcess>

namespace {

bool launchDetached(const QString& path)
{
    // No shell: the path is the program itself and the argument list is empty, so nothing in the
    // path is ever interpreted.
    qint64 pid = 0;
    const bool started = QProcess::startDetached(path, QStringList(), QString(), &pid);
    if (started)
        qCInfo(lcLauncher) << "started" << path << "as process" << pid;
    else
        qCWarning(lcLauncher) << "could not start" << path;
    return started;
}

}

Workspace Workspace::shared()
{
    Workspace workspace;
    workspace.isRunning = [](const QString& id) { return SessionBusName::hasOwner(id); };
    workspace.claim = [](const QString& id) { return SessionBusName::claim(id); };
    workspace.launchApplication = launchDetached;
    workspace.terminate = [] {
        // Queued, so that a request made before the event loop runs still ends it.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    };
    return workspace;
}

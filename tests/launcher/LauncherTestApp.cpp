// Stands in for the application in the launcher's process tests. It takes the session-bus names
// given with --claim, then records how it was started in the file named by
// LAUNCHER_TEST_MARKER (program path, arguments, process id) and stays until it is ended.
#include "SessionBusName.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimer>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);

    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == u"--claim" && !SessionBusName::claim(arguments[i + 1]))
            return 2;
    }

    const QString markerPath = qEnvironmentVariable("LAUNCHER_TEST_MARKER");
    if (!markerPath.isEmpty()) {
        QSaveFile marker(markerPath);
        if (!marker.open(QIODevice::WriteOnly))
            return 3;
        marker.write(QJsonDocument(QJsonObject{
                                       {"program", QCoreApplication::applicationFilePath()},
                                       {"arguments", QJsonArray::fromStringList(arguments)},
                                       {"pid", QCoreApplication::applicationPid()},
                                   })
                         .toJson());
        if (!marker.commit())
            return 3;
    }

    // Never outlive a test run that forgot to end it.
    QTimer::singleShot(60'000, &app, &QCoreApplication::quit);
    return app.exec();
}

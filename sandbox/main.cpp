// veltamorine-sandbox: serves the local stand-in of the backend on 127.0.0.1 until stopped.
//
//   veltamorine-sandbox [--port N] [--info FILE]
//
// --info writes the information-dictionary entries that point the application at this server
// (for VELTAMORINE_INFO). The port is printed on standard output once the server listens.
// The development account signs in as DevelopmentRoutes::login with DevelopmentRoutes::password.

#include "DevelopmentRoutes.h"
#include "Keys.h"
#include "SandboxServer.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    quint16 port = 0;
    QString infoPath;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--port" && i + 1 < args.size()) {
            port = quint16(args[++i].toUInt());
        } else if (args[i] == u"--info" && i + 1 < args.size()) {
            infoPath = args[++i];
        } else {
            err << "usage: veltamorine-sandbox [--port N] [--info FILE]\n";
            return 2;
        }
    }

    SandboxServer server;
    DevelopmentRoutes::install(server, {Keys::required(u"aesGcmKey"), Keys::required(u"aesGcmIV")});
    if (!server.start(port)) {
        err << "veltamorine-sandbox: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    if (!infoPath.isEmpty()) {
        QSaveFile file(infoPath);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(QJsonDocument(DevelopmentRoutes::informationOverrides(server)).toJson()) < 0 || !file.commit()) {
            err << "veltamorine-sandbox: cannot write " << infoPath << "\n";
            return 1;
        }
    }
    QTextStream(stdout) << server.port() << Qt::endl;

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const int code = app.exec();
    server.stop();
    return code;
}

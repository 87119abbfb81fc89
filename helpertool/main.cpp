#include "Helper.h"
#include "HelperLog.h"
#include "HelperSigningRoot.h"
#include "SocketActivation.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption socketOption(QStringLiteral("socket"),
        QStringLiteral("Listen on this path instead of the socket systemd passes."), QStringLiteral("path"));
    const QCommandLineOption rulesOption(QStringLiteral("rules-folder"),
        QStringLiteral("Folder of the kill-switch rules file."), QStringLiteral("folder"));
    const QCommandLineOption nftOption(QStringLiteral("nft"), QStringLiteral("Path of nft."), QStringLiteral("path"));
    const QCommandLineOption systemctlOption(QStringLiteral("systemctl"),
        QStringLiteral("Path of systemctl."), QStringLiteral("path"));
    parser.addOptions({ socketOption, rulesOption, nftOption, systemctlOption });
    parser.addHelpOption();
    parser.process(app);

    const auto listenFd = parser.isSet(socketOption) ? SocketActivation::listenOn(parser.value(socketOption))
                                                      : SocketActivation::fromEnvironment();
    if (!listenFd) {
        HelperLog::err(listenFd.error());
        return 1;
    }

    Helper::Options options;
    options.trustedRootPem = QByteArray(helperSigningRootPem);
    if (parser.isSet(rulesOption))
        options.packetFilter.rulesFolder = parser.value(rulesOption);
    if (parser.isSet(nftOption))
        options.packetFilter.nft = QStringList { parser.value(nftOption) };
    if (parser.isSet(systemctlOption))
        options.packetFilter.systemctl = QStringList { parser.value(systemctlOption) };

    int status = 0;
    {
        Helper helper(*listenFd, options, Scheduler::main());
        QObject::connect(&helper, &Helper::quit, &app, &QCoreApplication::quit);
        helper.run();
        status = app.exec();
    }
    HelperLog::out(QStringLiteral("@Helper Main Running"));
    return status;
}

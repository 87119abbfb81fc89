// A small signed client of the helper daemon for the tests: connects to the socket given,
// sends one command and prints the reply value, or exits with the kind of failure.
//   helper_test_client <socket> <timeout ms> <command> [argument]
// Exit: 0 reply printed, 2 connection closed by the daemon, 3 no reply, 4 cannot connect.
#include "HelperClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 64;
    HelperClient client(QString::fromLocal8Bit(argv[1]));
    if (!client.connect())
        return 4;
    QStringList arguments;
    for (int i = 3; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const auto reply = client.send(arguments, std::atoi(argv[2]));
    if (!reply) {
        std::fprintf(stderr, "%s\n", qPrintable(reply.error().message));
        return reply.error().code == HelperClient::connectionClosed ? 2 : 3;
    }
    const QByteArray text = QJsonDocument(QJsonArray { *reply }).toJson(QJsonDocument::Compact);
    std::printf("%s\n", text.constData());
    return 0;
}

#include "PacketTunnelProvider.h"

#include <QCoreApplication>

// The packet-tunnel program: one provider, then the event loop for the rest of the process.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    PacketTunnelProvider provider;
    return app.exec();
}

#include "QuorInventoryRoute.h"

#include "QuorInventoryGenerator.h"
#include "SandboxServer.h"

#include <QJsonDocument>

namespace QuorInventoryRoute {

QString path()
{
    return QStringLiteral("/quor/v1/inventory");
}

void install(SandboxServer& server, std::shared_ptr<const QuorInventory> inventory)
{
    if (!inventory)
        inventory = QuorInventoryGenerator::defaultInventory();
    const QByteArray body = QJsonDocument(inventory->toJson()).toJson(QJsonDocument::Compact);
    SandboxRoute route;
    route.method = "GET";
    route.path = path();
    route.body = SandboxBody::Empty;
    route.handler = [body](const SandboxRequest&) { return SandboxReply::raw(200, body); };
    server.route(route);
}

}

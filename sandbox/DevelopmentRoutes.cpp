#include "DevelopmentRoutes.h"

#include "SandboxServer.h"

namespace DevelopmentRoutes {

void install(SandboxServer& server)
{
    // The update package of the storage bucket: a small placeholder file.
    SandboxRoute package;
    package.method = "GET";
    package.path = QStringLiteral("/macOS/Veltamorine.pkg");
    package.body = SandboxBody::Empty;
    package.handler = [](const SandboxRequest&) {
        return SandboxReply::file(QByteArray(256 * 1024, 'V'), "Veltamorine.pkg");
    };
    server.route(package);
}

}

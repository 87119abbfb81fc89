#pragma once

class SandboxServer;

// The routes that the veltamorine-sandbox program serves, with development data, so the
// application can run against it without a backend. Each feature adds its own routes here.
namespace DevelopmentRoutes {

void install(SandboxServer& server);

}

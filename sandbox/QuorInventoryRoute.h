#pragma once

#include "QuorInventory.h"

#include <QString>
#include <memory>

class SandboxServer;

// The VPN SDK's inventory route: countries, cities, data centres, the recommended city and the
// failures to simulate, as the SDK fetches them.
namespace QuorInventoryRoute {

QString path();  // "/quor/v1/inventory"

// Serves `inventory` (the SDK's bundled one when none is given) on GET path().
void install(SandboxServer& server, std::shared_ptr<const QuorInventory> inventory = nullptr);

}

#pragma once

#include "QuorInventory.h"

#include <memory>

// Builds the SDK's bundled inventory from the list of countries and cities compiled into the
// library: the same data centres, addresses and identifiers on every run.
class QuorInventoryGenerator {
public:
    // Built once per process; shared and never changed.
    static std::shared_ptr<const QuorInventory> defaultInventory();
    static QuorInventory generate();
};

#include "Reachability.h"

Reachability::~Reachability() = default;

bool Reachability::isReachable() const
{
    const Status current = status();
    return current == Status::ReachableEthernetOrWiFi || current == Status::ReachableCellular;
}

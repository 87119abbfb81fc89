#include "QuorDataFetcherServerType.h"

QuorConnectVia connectVia(QuorDataFetcherServerType type)
{
    switch (type) {
    case QuorDataFetcherServerType::FastestServer: return QuorConnectVia::SmartConnect;
    case QuorDataFetcherServerType::Country: return QuorConnectVia::Country;
    case QuorDataFetcherServerType::City: return QuorConnectVia::City;
    case QuorDataFetcherServerType::DedicatedIp: return QuorConnectVia::DedicatedIp;
    case QuorDataFetcherServerType::Shortcut: return QuorConnectVia::Shortcut;
    }
    return QuorConnectVia::SmartConnect;
}

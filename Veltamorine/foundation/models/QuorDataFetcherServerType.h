#pragma once

#include "QuorConnectVia.h"
#include "RawValue.h"

// The kind of a location row. QuorDataFetcher (vpn) exposes it as QuorDataFetcher::ServerType.
// Coded in JSON as its integer raw value.
enum class QuorDataFetcherServerType {
    Country = 0,
    City = 1,
    FastestServer = 2,
    DedicatedIp = 3,
    Shortcut = 4,
};

template <>
struct RawIntegers<QuorDataFetcherServerType> {
    static constexpr int count = 5;
};

// The connect-via that goes with a row kind; its raw text is also the analytics "type" of a row.
QuorConnectVia connectVia(QuorDataFetcherServerType type);

#include "QuorDataFetcherLog.h"

Q_LOGGING_CATEGORY(lcQuorDataFetcher, "veltamorine.vpn")

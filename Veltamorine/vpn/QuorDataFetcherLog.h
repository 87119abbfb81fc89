#pragma once

#include <QLoggingCategory>

// The location data's lines in the VPN layer's category ("veltamorine.vpn").
Q_DECLARE_LOGGING_CATEGORY(lcQuorDataFetcher)

#pragma once

#include <QLoggingCategory>

// The engine's lines in the VPN layer's category ("veltamorine.vpn").
Q_DECLARE_LOGGING_CATEGORY(lcVpnEngine)

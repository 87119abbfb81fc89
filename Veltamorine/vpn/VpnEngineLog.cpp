#include "VpnEngineLog.h"

Q_LOGGING_CATEGORY(lcVpnEngine, "veltamorine.vpn")

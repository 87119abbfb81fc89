#include "KeychainLog.h"

Q_LOGGING_CATEGORY(lcKeychain, "veltamorine.platform.keychain")

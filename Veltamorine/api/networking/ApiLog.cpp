#include "ApiLog.h"

Q_LOGGING_CATEGORY(lcApi, "veltamorine.api")

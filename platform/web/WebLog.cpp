#include "WebLog.h"

Q_LOGGING_CATEGORY(lcWeb, "veltamorine.web")

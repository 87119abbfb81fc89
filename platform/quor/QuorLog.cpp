#include "QuorLog.h"

Q_LOGGING_CATEGORY(lcQuor, "veltamorine.quor")

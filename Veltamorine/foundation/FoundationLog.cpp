#include "FoundationLog.h"

Q_LOGGING_CATEGORY(lcFoundation, "veltamorine.foundation")

#include "HttpLog.h"

Q_LOGGING_CATEGORY(lcHttp, "veltamorine.http")

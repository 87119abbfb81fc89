#include "OAuthLog.h"

Q_LOGGING_CATEGORY(lcOAuth, "veltamorine.oauth")

#include "LauncherLog.h"

Q_LOGGING_CATEGORY(lcLauncher, "veltamorine.launcher")

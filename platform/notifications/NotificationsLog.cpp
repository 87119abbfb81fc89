#include "NotificationsLog.h"

Q_LOGGING_CATEGORY(lcNotifications, "veltamorine.platform.notifications")

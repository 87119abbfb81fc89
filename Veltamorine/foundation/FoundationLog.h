#pragma once

#include <QLoggingCategory>

// The logging category of the foundation library ("veltamorine.foundation").
Q_DECLARE_LOGGING_CATEGORY(lcFoundation)

#pragma once

#include <QLoggingCategory>

// The backend client's diagnostics: endpoint, path, status and sizes. Never tokens, parameters
// or reply bodies.
Q_DECLARE_LOGGING_CATEGORY(lcApi)

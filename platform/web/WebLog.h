#pragma once

#include <QLoggingCategory>

// Pages and paths only: never a query (it may carry a code or a token).
Q_DECLARE_LOGGING_CATEGORY(lcWeb)

#pragma once

#include <QLoggingCategory>

// Never a code, token, password or reply body.
Q_DECLARE_LOGGING_CATEGORY(lcAccount)

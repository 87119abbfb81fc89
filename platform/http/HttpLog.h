#pragma once

#include <QLoggingCategory>

// Request lines only (method, host, path, status): never queries, headers or bodies.
Q_DECLARE_LOGGING_CATEGORY(lcHttp)

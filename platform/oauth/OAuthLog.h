#pragma once

#include <QLoggingCategory>

// Never carries a code, verifier, state or token.
Q_DECLARE_LOGGING_CATEGORY(lcOAuth)

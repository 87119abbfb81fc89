#pragma once

#include "Error.h"

#include <QString>

// A reply body that does not decode into the expected model.
class DecodingError {
public:
    static inline const QString domain = QStringLiteral("DecodingError");
    // The code the platform gives data that isn't in the expected form.
    static constexpr int dataCorrupted = 4864;

    // `reason` names what did not fit (a key, "not JSON"); it never holds reply content.
    static Error make(const QString& reason);
};

#pragma once

#include "Error.h"

#include <QString>

// The one error vocabulary of backend calls, in the domain "VeltamorineError": the server's own
// refusal, the empty success, and any other failure wrapped with a fixed user text chosen by
// its code.
class ApiError {
public:
    static inline const QString domain = QStringLiteral("VeltamorineError");

    // A success reply without a usable body.
    static constexpr int emptySuccessCode = -1;
    // A download that ended with neither a file nor an error.
    static constexpr int unknownCode = -1001;

    // The envelope's own code and message, as the server sent them.
    static Error serverRefusal(qint64 responseCode, const QString& message);
    static Error emptySuccess();
    static Error unknown();

    // The user text of a failure code: offline, timed out, or anything else, each followed by
    // the code and ")".
    static QString userMessage(int code);
    // `error` beneath a new error with its code and the user text of that code.
    static Error wrap(const Error& error);
};

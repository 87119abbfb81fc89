#pragma once

#include "Error.h"

#include <QUrl>

// Errors of the HTTP layer itself. Each says at which step a request failed and, where a
// deeper cause exists (a transport error, the interceptor's answer), wraps it, so the root
// of the chain is the error that really happened.
class HttpError {
public:
    static inline const QString domain = QStringLiteral("HttpError");

    enum Code : int {
        InvalidUrl = 1,
        ParameterEncodingFailed = 2,
        RequestAdaptationFailed = 3,       // wraps the interceptor's error
        RequestRetryFailed = 4,            // wraps the error the interceptor gave with "do not retry"
        SessionTaskFailed = 5,             // wraps a NetworkError
        ExplicitlyCancelled = 6,           // wraps NetworkError::Cancelled
        ResponseValidationFailed = 7,      // userInfo "statusCode"
        ResponseSerializationFailed = 8,   // userInfo "reason"
        DownloadFileFailed = 9,            // wraps a NetworkError about the file
    };

    static Error invalidUrl(const QUrl& url);
    static Error parameterEncodingFailed(const QString& reason);
    static Error requestAdaptationFailed(Error adapterError);
    static Error requestRetryFailed(Error retryError);
    static Error sessionTaskFailed(Error networkError);
    static Error explicitlyCancelled();
    static Error unacceptableStatusCode(int statusCode);
    // A reply that should carry data and carries none.
    static Error inputDataNilOrZeroLength();
    static Error downloadFileFailed(Error fileError);
};

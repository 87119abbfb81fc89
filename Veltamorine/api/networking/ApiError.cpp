#include "ApiError.h"

#include "NetworkError.h"

Error ApiError::serverRefusal(qint64 responseCode, const QString& message)
{
    return Error(domain, int(responseCode), message);
}

Error ApiError::emptySuccess()
{
    return Error(domain, emptySuccessCode,
        QStringLiteral("Unable to get response. response_code = 200 but the body is nil or empty OR Doesn't have "
                       "the expected response with exact type"));
}

Error ApiError::unknown()
{
    return Error(domain, unknownCode, QStringLiteral("Unknown Error"));
}

QString ApiError::userMessage(int code)
{
    QString prefix;
    switch (code) {
    case NetworkError::NotConnectedToInternet:
        prefix = QStringLiteral("The Internet connection appears to be offline. (");
        break;
    case NetworkError::TimedOut:
        prefix = QStringLiteral("We were unable to complete your request. Please try again. (");
        break;
    default:
        prefix = QStringLiteral("Something went wrong. Please try again later or contact support. (");
        break;
    }
    return prefix + QString::number(code) + QLatin1Char(')');
}

Error ApiError::wrap(const Error& error)
{
    return Error(domain, error.code, userMessage(error.code)).wrapping(error);
}

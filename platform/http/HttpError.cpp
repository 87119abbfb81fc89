#include "HttpError.h"

#include "NetworkError.h"

Error HttpError::invalidUrl(const QUrl& url)
{
    return Error(domain, InvalidUrl, QStringLiteral("URL is not valid: ") + url.toString(QUrl::RemoveQuery));
}

Error HttpError::parameterEncodingFailed(const QString& reason)
{
    return Error(domain, ParameterEncodingFailed, QStringLiteral("Parameter encoding failed: ") + reason);
}

Error HttpError::requestAdaptationFailed(Error adapterError)
{
    return Error(domain, RequestAdaptationFailed, QStringLiteral("Request adaption failed.")).wrapping(std::move(adapterError));
}

Error HttpError::requestRetryFailed(Error retryError)
{
    return Error(domain, RequestRetryFailed, QStringLiteral("Request retry failed.")).wrapping(std::move(retryError));
}

Error HttpError::sessionTaskFailed(Error networkError)
{
    const QString message = QStringLiteral("Session task failed with error: ") + networkError.message;
    return Error(domain, SessionTaskFailed, message).wrapping(std::move(networkError));
}

Error HttpError::explicitlyCancelled()
{
    return Error(domain, ExplicitlyCancelled, QStringLiteral("Request explicitly cancelled."))
        .wrapping(NetworkError::make(NetworkError::Cancelled));
}

Error HttpError::unacceptableStatusCode(int statusCode)
{
    return Error(domain, ResponseValidationFailed,
        QStringLiteral("Response status code was unacceptable: %1.").arg(statusCode),
        {{QStringLiteral("statusCode"), statusCode}});
}

Error HttpError::inputDataNilOrZeroLength()
{
    return Error(domain, ResponseSerializationFailed,
        QStringLiteral("Response could not be serialized, input data was nil or zero length."),
        {{QStringLiteral("reason"), QStringLiteral("inputDataNilOrZeroLength")}});
}

Error HttpError::downloadFileFailed(Error fileError)
{
    return Error(domain, DownloadFileFailed, QStringLiteral("The downloaded file could not be stored."))
        .wrapping(std::move(fileError));
}

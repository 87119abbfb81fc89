#include "DecodingError.h"

Error DecodingError::make(const QString& reason)
{
    return Error(domain, dataCorrupted,
        QStringLiteral("The data couldn't be read because it isn't in the correct format."),
        QVariantMap{{QStringLiteral("reason"), reason}});
}

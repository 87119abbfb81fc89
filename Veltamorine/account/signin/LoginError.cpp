#include "LoginError.h"

LoginError LoginError::unableToFetchPassword(Error error)
{
    LoginError e;
    e.kind = Kind::UnableToFetchPassword;
    e.error = std::move(error);
    return e;
}

LoginError LoginError::unableToDecryptPassword(QString reason)
{
    LoginError e;
    e.kind = Kind::UnableToDecryptPassword;
    e.text = std::move(reason);
    return e;
}

LoginError LoginError::apiError(QString message)
{
    LoginError e;
    e.kind = Kind::ApiError;
    e.text = std::move(message);
    return e;
}

LoginError LoginError::of(Kind kind)
{
    LoginError e;
    e.kind = kind;
    return e;
}

Error LoginError::toError() const
{
    Error boxed(domain, int(kind), text);
    if (kind == Kind::UnableToFetchPassword)
        return boxed.wrapping(error);
    return boxed;
}

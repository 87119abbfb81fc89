#include "OAuth2Error.h"

namespace {

QString describe(OAuth2Error::Kind kind)
{
    switch (kind) {
    case OAuth2Error::Kind::invalidSettings: return QStringLiteral("The sign-in settings are incomplete.");
    case OAuth2Error::Kind::noPresenter: return QStringLiteral("The sign-in page cannot be shown.");
    case OAuth2Error::Kind::alreadyAuthorizing: return QStringLiteral("A sign-in is already in progress.");
    case OAuth2Error::Kind::requestCancelled: return QStringLiteral("The sign-in was cancelled.");
    case OAuth2Error::Kind::invalidRedirect: return QStringLiteral("The sign-in ended on an unexpected address.");
    case OAuth2Error::Kind::invalidState: return QStringLiteral("The sign-in answer does not belong to this request.");
    case OAuth2Error::Kind::missingCode: return QStringLiteral("The sign-in answer carries no authorisation code.");
    case OAuth2Error::Kind::serverError: return QStringLiteral("The sign-in server refused the request.");
    }
    return {};
}

}

Error OAuth2Error::toError() const
{
    QString message = describe(kind);
    if (!detail.isEmpty())
        message += QLatin1Char(' ') + detail;
    return Error(domain, int(kind), message);
}

#pragma once

#include "Error.h"

#include <QString>

// Why an authorisation did not give a code.
struct OAuth2Error {
    enum class Kind {
        invalidSettings,      // no usable "authorize_uri" / "client_id" / redirect URI
        noPresenter,          // nobody can show the authorisation page
        alreadyAuthorizing,   // an authorisation is already in flight
        requestCancelled,     // the user closed the page
        invalidRedirect,      // the redirect is not the registered one
        invalidState,         // the redirect's "state" is missing or not ours
        missingCode,          // the redirect carries no code
        serverError,          // the server answered with "error" (detail: its text)
    };

    Kind kind;
    QString detail;  // never a code, state or token

    static inline const QString domain = QStringLiteral("OAuth2Error");

    bool operator==(const OAuth2Error&) const = default;
    Error toError() const;
};

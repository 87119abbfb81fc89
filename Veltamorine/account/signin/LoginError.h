#pragma once

#include "Error.h"
#include "LoginModelMethod.h"

#include <QString>

// What went wrong while signing in or fetching the VPN password.
struct LoginError {
    enum class Kind {
        NotMigrated,              // providedUsername, username, uuid, method
        UnableToFetchPassword,    // error: the request's error (its code is read: 1046 = not on e-mail sign-in)
        UnableToDecryptPassword,  // text: why the reply gave no password
        ApiError,                 // text: the server's message
        MultipleUsernames,
        NoUsername,
        InvalidCredentials,
    };

    Kind kind = Kind::NoUsername;
    Error error;
    QString text;
    QString providedUsername;
    QString username;
    QString uuid;
    LoginModelMethod method = LoginModelMethod::Email;

    static inline const QString domain = QStringLiteral("Veltamorine.LoginError");

    static LoginError unableToFetchPassword(Error error);
    static LoginError unableToDecryptPassword(QString reason);
    static LoginError apiError(QString message);
    static LoginError of(Kind kind);

    // As a boxed error: this domain, the case's position as code, and the payload error beneath.
    Error toError() const;
};

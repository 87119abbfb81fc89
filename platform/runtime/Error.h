#pragma once

#include <QString>
#include <QVariantMap>
#include <memory>

// An error as the application passes it around: a domain and code for programs, a user-facing
// text, extra values, and the error it wraps (so the root cause stays readable).
struct Error {
    QString domain;
    int code = 0;
    QString message;
    QVariantMap userInfo;
    std::shared_ptr<const Error> underlying;

    Error() = default;
    Error(QString domain, int code, QString message = {}, QVariantMap userInfo = {})
        : domain(std::move(domain)), code(code), message(std::move(message)), userInfo(std::move(userInfo)) {}

    Error wrapping(Error inner) const
    {
        Error copy = *this;
        copy.underlying = std::make_shared<const Error>(std::move(inner));
        return copy;
    }

    // The innermost error of the chain (this one when it wraps nothing).
    const Error& rootError() const
    {
        const Error* e = this;
        while (e->underlying)
            e = e->underlying.get();
        return *e;
    }

    bool is(const QString& d, int c) const { return domain == d && code == c; }
};

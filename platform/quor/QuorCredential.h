#pragma once

#include <QString>

// The VPN account the SDK dials with. The password is never logged.
struct QuorCredential {
    QString username;
    QString password;

    QuorCredential(QString username, QString password) : username(std::move(username)), password(std::move(password)) {}

    bool isComplete() const { return !username.isEmpty() && !password.isEmpty(); }
    bool operator==(const QuorCredential&) const = default;
};

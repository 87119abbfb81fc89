#pragma once

#include "User.h"
#include "VPNAccount.h"

#include <QColor>
#include <QString>
#include <optional>

// What one row of the account-selection list shows, worked out without widgets so the row view
// only copies it onto its labels and image.
struct AccountRowContent {
    QString userName;
    QString userStatus;
    std::optional<QColor> userStatusColor;  // none: the label's own colour
    QColor userNameColor;
    std::optional<QString> imageName;   // "ExpireDot", "DisableDot", "BlackMark" or none
    bool selected = false;

    static QColor defaultUserNameColor() { return QColor::fromRgbF(0.263f, 0.133f, 0.375f, 1.0f); }
    static QColor disabledStatusColor() { return QColor::fromRgbF(0.263f, 0.133f, 0.375f, 0.3f); }
    static QColor expiredStatusColor() { return QColor(Qt::red); }
    static QColor selectedTextColor() { return QColor(Qt::white); }
    static QColor selectionFillColor() { return QColor::fromRgbF(0.184f, 0.501f, 0.929f, 1.0f); }

    // "Account " and the status with each word capitalised ("in-active" → "Account In-Active");
    // "active" and "paid" show nothing. Sets the status colour, the dot and the name colour.
    static AccountRowContent statusText(const QString& status);
    // The row of `account`: its status, then the current account's mark ("BlackMark", replacing
    // any dot) and the selection's white text.
    static AccountRowContent configure(const VPNAccount& account, const User& user);
    // Each word's first letter upper case, the rest lower case; a word starts after anything
    // that is not a letter or digit.
    static QString capitalized(const QString& text);
};

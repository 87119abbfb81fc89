#include "AccountRowContent.h"

QString AccountRowContent::capitalized(const QString& text)
{
    QString result;
    result.reserve(text.size());
    bool wordStart = true;
    for (const QChar c : text) {
        if (c.isLetterOrNumber()) {
            result.append(wordStart ? c.toUpper() : c.toLower());
            wordStart = false;
        } else {
            result.append(c);
            wordStart = true;
        }
    }
    return result;
}

AccountRowContent AccountRowContent::statusText(const QString& status)
{
    AccountRowContent content;
    content.userStatus = QStringLiteral("Account ") + capitalized(status);
    switch (fromRaw<User::Status>(status).value_or(User::Status::Unknown)) {
    case User::Status::Active:
    case User::Status::Paid:
        content.imageName.reset();
        content.userStatus = QString();
        break;
    case User::Status::Expired:
        content.userStatusColor = expiredStatusColor();
        content.imageName = QStringLiteral("ExpireDot");
        break;
    case User::Status::Disabled:
        content.userStatusColor = disabledStatusColor();
        content.imageName = QStringLiteral("DisableDot");
        break;
    default:
        break;
    }
    content.userNameColor = defaultUserNameColor();
    return content;
}

AccountRowContent AccountRowContent::configure(const VPNAccount& account, const User& user)
{
    AccountRowContent content = statusText(account.status);
    content.userName = account.username;
    if (const std::optional<QString> current = user.vpnUsername(); current && *current == account.username)
        content.imageName = QStringLiteral("BlackMark");
    if (account.isSelected) {
        content.userStatusColor = selectedTextColor();
        content.userNameColor = selectedTextColor();
    }
    content.selected = account.isSelected;
    return content;
}

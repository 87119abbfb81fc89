#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <optional>

// An add-on of the account (dedicated IP, port forwarding, ...). Title, expiry and status are
// properties so list views can bind to them; what is set through them is what gets encoded.
// Stored as a list of JSON items under "UserPreferences.activeAddons".
class ActiveAddon {
    Q_GADGET
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QString expiry READ expiry WRITE setExpiry)
    Q_PROPERTY(QString status READ status WRITE setStatus)

public:
    ActiveAddon(QString title, QString expiry, QString status, std::optional<QString> slug = std::nullopt);

    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QString expiry() const { return m_expiry; }
    void setExpiry(const QString& expiry) { m_expiry = expiry; }
    QString status() const { return m_status; }
    void setStatus(const QString& status) { m_status = status; }

    std::optional<QString> slug;

    static std::optional<ActiveAddon> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const ActiveAddon&) const = default;

private:
    QString m_title;
    QString m_expiry;
    QString m_status;
};

Q_DECLARE_METATYPE(ActiveAddon)

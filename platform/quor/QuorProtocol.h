#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

// A VPN protocol as the SDK names it. `protocol` is the protocol word the SDK dials by
// ("IPSEC", "IKEV", "TCP", "UDP", "WireGuard"); `name` is derived from it and is what the
// inventory's protocol lists are compared by.
struct QuorProtocol {
    std::optional<QString> protocol;

    QuorProtocol() = default;
    explicit QuorProtocol(QString word) : protocol(std::move(word)) {}

    // The SDK's name of the protocol word; absent for a word the SDK does not know.
    std::optional<QString> name() const;

    // Every protocol word the SDK can dial, in its order of preference for automatic choice.
    static QStringList knownWords();
    static bool isKnownWord(const QString& word);

    static std::optional<QuorProtocol> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const QuorProtocol&) const = default;
};

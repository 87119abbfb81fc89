#pragma once

#include "RawValue.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// The shortcut behind a location row of kind Shortcut. QuorDataFetcherServer exposes it as
// QuorDataFetcherServer::Shortcut (QuorDataFetcher::Server::Shortcut in vpn).
class QuorDataFetcherServerShortcut {
public:
    enum class Type {
        Shortcut,
        Country,
        Link,
    };

    // Components in 0...1.
    struct BackgroundColor {
        double red = 0;
        double green = 0;
        double blue = 0;

        static std::optional<BackgroundColor> fromJson(const QJsonObject& object);
        QJsonObject toJson() const;
        // The colours a shortcut without one is given.
        static const QList<BackgroundColor>& palette();
        // A palette colour drawn uniformly from the system random source.
        static BackgroundColor random();

        bool operator==(const BackgroundColor&) const = default;
    };

    std::optional<QString> url;
    std::optional<QString> country;
    std::optional<qint64> id;
    std::optional<QString> slug;
    std::optional<QString> availableCountries;
    Type type = Type::Country;
    BackgroundColor color;
    std::optional<bool> consent;

    // Every key is optional: a missing "type" reads as Country, a missing "color" as a random
    // palette colour.
    static std::optional<QuorDataFetcherServerShortcut> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const QuorDataFetcherServerShortcut&) const = default;
};

template <>
struct RawTexts<QuorDataFetcherServerShortcut::Type> {
    static constexpr std::array<std::u16string_view, 3> texts{u"Shortcut", u"Country", u"Link"};
};

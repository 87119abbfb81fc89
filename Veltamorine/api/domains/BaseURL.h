#pragma once

#include "AppPreferences.h"
#include "Domain.h"

#include <QJsonObject>
#include <QList>
#include <QUrl>
#include <optional>

// The candidate gateway domains of the fail-over, in the order they are tried, with a cursor
// on the next one. JSON form: {"baseUrls": [Domain, ...]}; the cursor is never stored.
class BaseURL {
public:
    BaseURL() = default;
    explicit BaseURL(QList<Domain> baseUrls);

    qsizetype currentUrlPointer = 0;
    QList<Domain> baseUrls;

    // Moves `url` (a request that failed) from the active domain's gateway host to the next
    // candidate's, and records that candidate as the active domain. None when the list is
    // empty or used up; the call after the end starts over with the first candidate.
    std::optional<QUrl> next(const QUrl& url, AppPreferences& appPreferences);

    static std::optional<BaseURL> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
};

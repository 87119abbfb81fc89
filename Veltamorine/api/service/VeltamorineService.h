#pragma once

#include "AppPreferences.h"
#include "Error.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <expected>
#include <functional>
#include <optional>

// Application-wide backend operations without state: the check for a newer client version.
class VeltamorineService {
public:
    // The current client version as the backend announces it (the "body" of the reply).
    struct CheckUpdateVersionModel {
        QString device;            // "device"
        QString version;           // "version"
        QString release_note_url;  // "release_note_url"

        bool operator==(const CheckUpdateVersionModel&) const = default;
        static std::optional<CheckUpdateVersionModel> fromJson(const QJsonObject& object);
        QJsonObject toJson() const;
        static QStringList codingKeys();
    };

    using VersionCompletion = std::function<void(std::expected<CheckUpdateVersionModel, Error>)>;

    // Posted when a check succeeded, before the notice is stored. Its object is a map with
    // "silent" (bool) and "version" (the CheckUpdateVersionModel as a QVariant).
    static inline const QString versionCheckApiRespondedNotification = QStringLiteral("VersionCheckApiResponded");

    // Asks the backend for the current version. `silent` travels to the notification's
    // observers. The completion runs once, on the main thread.
    static void checkLatestVersion(bool silent, VersionCompletion completion);
    static void handleVersionCheckResponse(const std::expected<CheckUpdateVersionModel, Error>& result, bool silent,
                                           AppPreferences& appPreferences, const VersionCompletion& completion);
};

Q_DECLARE_METATYPE(VeltamorineService::CheckUpdateVersionModel)

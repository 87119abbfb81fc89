#pragma once

#include <QLatin1StringView>

// Names of the notifications the settings stores post on the default notification centre,
// synchronously, right after the value is stored ("ExtensionStatusChanged" alone goes out
// before it, carrying the new readiness).
namespace SettingsNotifications {

// object: the new signed-in state (bool)
inline constexpr QLatin1StringView loggedInChanged{"UserPreferences.LoggedInChanged"};
// observed by the main window's tab bar for the password-manager add-on
inline constexpr QLatin1StringView passwordManagerUpdate{"UserPreferences.PasswordManagerUpdate"};

// object: the new list of recent locations (QList<QuorDataFetcherServer::Ptr>)
inline constexpr QLatin1StringView recentsUpdated{"RecentsUpdated"};
// object: the new bool
inline constexpr QLatin1StringView automaticProtocolChanged{"AutomaticProtocolChanged"};
// object: the new bool
inline constexpr QLatin1StringView passwordChanged{"PasswordChanged"};
// object: the new dedicated server (QuorDataFetcherServer::Ptr), none when cleared
inline constexpr QLatin1StringView dedicatedIpUpdated{"DedicatedIpUpdated"};
// no object: the per-user settings were reset
inline constexpr QLatin1StringView preferencesRefreshed{"PreferencesRefreshed"};

// object: whether the extension is now ready (bool); posted before the status is stored
inline constexpr QLatin1StringView extensionStatusChanged{"ExtensionStatusChanged"};
// object: the new recommended location (QuorDataFetcherServer::Ptr), none when cleared
inline constexpr QLatin1StringView quorRecommendedServerUpdated{"QuorRecommendedServerUpdated"};
// posted by the general settings screen, observed by the connect button
inline constexpr QLatin1StringView veltamorinePreferences{"VeltamorinePreferences"};

}

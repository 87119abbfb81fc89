#pragma once

#include <QString>

// Notifications the sign-in posts on the default notification centre.
namespace AccountNotifications {

// object: true (bool): the main window shows the dashboard
inline const QString showDashboard = QStringLiteral("ShowDashboard");
// no object: the signed-in services start (notifications, analytics, SDK set-up)
inline const QString fetchNotifications = QStringLiteral("FetchNotifications");
// no object: the VPN account in use changed
inline const QString vpnAccountDidChange = QStringLiteral("VPNAccountDidChangeNotification");

}

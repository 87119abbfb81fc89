#pragma once

#include <QString>

// The daemon's own information entries (a bare program has no bundle to read them from).
namespace HelperInfo {

inline const QString bundleIdentifier = QStringLiteral("veltamorine.mac.apple.helpertool");
inline const QString bundleName = QStringLiteral("veltamorine.mac.apple.helpertool");
inline const QString shortVersionString = QStringLiteral("1.0.0");
inline const QString bundleVersion = QStringLiteral("1");

}

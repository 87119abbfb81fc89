#pragma once

#include "SandboxServer.h"

#include <QJsonObject>

// The information dictionary a test gives the application when it talks to an in-process
// stand-in: a fixed version and release code, a bundle identifier of the tests' own, and every
// host pointed at `server`.
namespace SandboxTestBundle {

inline QJsonObject information(const SandboxServer& server)
{
    QJsonObject info{
        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("3.0")},
        {QStringLiteral("CFBundleVersion"), QStringLiteral("117")},
        {QStringLiteral("Release Code"), QStringLiteral("PRODUCTION")},
        {QStringLiteral("Application Bundle identifier"), QStringLiteral("com.veltamorine.Veltamorine.tests")},
    };
    const QJsonObject overrides = server.informationOverrides();
    for (auto it = overrides.begin(); it != overrides.end(); ++it)
        info.insert(it.key(), it.value());
    return info;
}

}

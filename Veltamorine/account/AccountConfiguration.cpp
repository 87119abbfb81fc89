#include "AccountConfiguration.h"

#include "Bundle.h"

#include <QJsonObject>

namespace {

QString entry(const char* key)
{
    return Bundle::main().infoDictionary().value(QLatin1StringView(key)).toString();
}

}

namespace AccountConfiguration {

QString identityHost()
{
    const QString host = entry("Identity Host");
    return host.isEmpty() ? entry("Auth Token Host") : host;
}

QString redirectHost()
{
    const QString host = entry("OAuth Redirect Host");
    return host.isEmpty() ? QStringLiteral("veltamorine") : host;
}

QString redirectURI()
{
    return QStringLiteral("quibbo://") + redirectHost() + QStringLiteral("/callback");
}

}

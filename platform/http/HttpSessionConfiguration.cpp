#include "HttpSessionConfiguration.h"

#include "Bundle.h"

HttpSessionConfiguration HttpSessionConfiguration::fromBundle(const Bundle& bundle)
{
    HttpSessionConfiguration configuration;
    const QString caPath = bundle.infoDictionary().value(trustedCaKey).toString();
    if (!caPath.isEmpty())
        configuration.extraCaCertificatePaths.append(caPath);
    return configuration;
}

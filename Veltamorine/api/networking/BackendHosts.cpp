#include "BackendHosts.h"

#include "Bundle.h"

namespace {

QString hostEntry(const char* key)
{
    return Bundle::main().infoString(QString::fromLatin1(key)).trimmed();
}

}

QString BackendHosts::apiGateway()
{
    return hostEntry("API Gateway Host");
}

QString BackendHosts::storageBucket()
{
    return hostEntry("Storage Host");
}

QString BackendHosts::download()
{
    return hostEntry("Download Host");
}

QString BackendHosts::cdn()
{
    return hostEntry("CDN Host");
}

QString BackendHosts::forEndpoint(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::DownloadUpdateQA:
    case Endpoint::DownloadUpdateAlpha:
    case Endpoint::DownloadUpdateBeta:
    case Endpoint::DownloadUpdate:
        return storageBucket();
    case Endpoint::DownloadRemoteConfig:
        return cdn();
    default:
        return apiGateway();
    }
}

QString BackendHosts::authority(const QUrl& url)
{
    if (url.host().isEmpty())
        return {};
    return url.port() == -1 ? url.host() : url.host() + QLatin1Char(':') + QString::number(url.port());
}

std::optional<QUrl> BackendHosts::httpsUrl(const QString& host, const QString& path)
{
    if (host.isEmpty())
        return std::nullopt;
    QUrl url(QStringLiteral("https://") + host, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.path().isEmpty())
        return std::nullopt;
    url.setPath(path);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

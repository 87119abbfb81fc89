#pragma once

#include "Endpoint.h"

#include <QString>
#include <QUrl>
#include <optional>

// The fixed servers of the backend, from the information dictionary. A value may carry a port
// ("127.0.0.1:8443"), so hosts are compared and placed as URL authorities.
class BackendHosts {
public:
    static QString apiGateway();    // "API Gateway Host"
    static QString storageBucket(); // "Storage Host": the installer packages as endpoints
    static QString download();      // "Download Host": where update packages are downloaded
    static QString cdn();           // "CDN Host": the remote configuration

    // The host the URL builder sends `endpoint` to: the storage bucket for the installer
    // packages, the CDN for the remote configuration, the API gateway for everything else.
    static QString forEndpoint(Endpoint endpoint);

    // "host" or "host:port" of `url`.
    static QString authority(const QUrl& url);
    // https://<host>/<path>; none when `host` is empty or the result is not a valid URL.
    static std::optional<QUrl> httpsUrl(const QString& host, const QString& path);
};

#pragma once

#include <QString>
#include <QStringList>

class Bundle;
class Reachability;

// How a session talks to servers.
struct HttpSessionConfiguration {
    // Without any byte moving for this long, a transfer fails as timed out (-1001).
    int timeoutMs = 60'000;
    // PEM files of certificate authorities trusted in addition to the system's. Certificates
    // are always fully verified; nothing here turns a check off.
    QStringList extraCaCertificatePaths;
    // When given and reporting "not reachable", transfer failures read as offline (-1009). Not owned.
    Reachability* reachability = nullptr;

    // The information-dictionary entry that names an extra CA (the stand-in's test CA).
    static inline const QString trustedCaKey = QStringLiteral("Trusted CA Certificate");
    // The default configuration plus the CA that `bundle`'s information dictionary names.
    static HttpSessionConfiguration fromBundle(const Bundle& bundle);
};

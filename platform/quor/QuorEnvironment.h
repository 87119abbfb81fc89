#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

class Scheduler;

// Where the SDK finds its service and how fast its simulated tunnel moves. The process-wide
// one is read from VELTAMORINE_QUOR_URL (the service's base URL) and VELTAMORINE_QUOR_CA_FILE
// (PEM certificates to trust besides the system's) unless the application sets its own.
struct QuorEnvironment {
    struct Timings {
        double findServer = 0.5;
        double dial = 1.0;
        double redialInterval = 2.0;
        int maxDialAttempts = 3;
        double disconnect = 0.5;
        double cancel = 0.2;
        double connectedLocation = 0.3;
        double packetInterval = 1.0;
        double probe = 0.8;
        double extensionActivation = 0.5;
        double inventoryLifetime = 900;
    };

    QUrl serviceBaseUrl;                    // empty: the bundled inventory only
    QList<QSslCertificate> caCertificates;
    Scheduler* scheduler = nullptr;         // nullptr: Scheduler::main()
    QString cacheDirectory;                 // empty: no inventory cache on disk
    int requestTimeoutMs = 10000;
    Timings timings;

    Scheduler& schedulerOrMain() const;

    static QuorEnvironment fromProcessEnvironment();
    static QuorEnvironment current();
    static void setCurrent(const QuorEnvironment& environment);
};

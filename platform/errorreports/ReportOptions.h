#pragma once

#include "Scheduler.h"

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

// Start-up options of error reporting.
struct ReportOptions {
    QString dsn;  // the project key, sent with every delivery
    QString dist;
    QString environment;
    QString releaseName;
    bool enableAutoSessionTracking = false;
    // Delivery: an https endpoint (empty: reports wait in the bounded queue), extra trusted CAs.
    QUrl endpoint;
    QList<QSslCertificate> trustedCertificates;
    int capacity = 200;
    int batchSize = 20;
    double flushInterval = 30;
    Scheduler* scheduler = nullptr;  // flush timer and report clock; nullptr: Scheduler::main()
};

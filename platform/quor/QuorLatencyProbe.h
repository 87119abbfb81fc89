#pragma once

#include <QString>
#include <QtGlobal>

// Simulated round-trip times: a fixed value per data centre or host, so every probe of the
// same server answers the same. Nothing is sent anywhere.
class QuorLatencyProbe {
public:
    // Milliseconds, between 12 and 291.
    static qint64 latencyOfDataCenter(qint64 dataCenterId);
    static qint64 latencyOfHost(const QString& host);

    // A stable 64-bit mix of a number and of a text (FNV-1a then mixed), for derived values.
    static quint64 mix(quint64 value);
    static quint64 hashText(const QString& text);
};

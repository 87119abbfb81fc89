#include "QuorLatencyProbe.h"

quint64 QuorLatencyProbe::mix(quint64 x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

quint64 QuorLatencyProbe::hashText(const QString& text)
{
    quint64 h = 0xcbf29ce484222325ULL;
    for (const char byte : text.toUtf8()) {
        h ^= static_cast<unsigned char>(byte);
        h *= 0x100000001b3ULL;
    }
    return mix(h);
}

qint64 QuorLatencyProbe::latencyOfDataCenter(qint64 dataCenterId)
{
    return 12 + static_cast<qint64>(mix(static_cast<quint64>(dataCenterId)) % 280);
}

qint64 QuorLatencyProbe::latencyOfHost(const QString& host)
{
    return 12 + static_cast<qint64>(hashText(host.toLower()) % 280);
}

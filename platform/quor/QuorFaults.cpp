#include "QuorFaults.h"

#include "JsonFields.h"

#include <QJsonArray>
#include <limits>

namespace {

bool optionalSeconds(const QJsonObject& o, const char* key, std::optional<double>& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!v.isDouble() || v.toDouble() < 0)
        return false;
    out = v.toDouble();
    return true;
}

bool stringList(const QJsonObject& o, const char* key, QStringList& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isArray())
        return false;
    for (const QJsonValue& item : v.toArray()) {
        if (!item.isString())
            return false;
        out.append(item.toString());
    }
    return true;
}

// An integer outside the range of int is refused rather than cut down to another value.
bool optionalInt(const QJsonObject& o, const char* key, std::optional<int>& out)
{
    std::optional<qint64> value;
    if (!JsonFields::optionalInteger(o, QLatin1StringView(key), value))
        return false;
    if (value && (*value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max()))
        return false;
    out = value ? std::optional<int>(int(*value)) : std::nullopt;
    return true;
}

bool flag(const QJsonObject& o, const char* key, bool& out)
{
    std::optional<bool> value;
    if (!JsonFields::optionalBool(o, QLatin1StringView(key), value))
        return false;
    out = value.value_or(false);
    return true;
}

}

bool QuorFaults::isServerUnreachable(const QString& nasIdentifier, const QString& hostname) const
{
    if (allServersUnreachable)
        return true;
    return (!nasIdentifier.isEmpty() && unreachableServers.contains(nasIdentifier))
        || (!hostname.isEmpty() && unreachableServers.contains(hostname));
}

bool QuorFaults::rejects(const QString& username) const
{
    return rejectCredentials || rejectedUsernames.contains(username);
}

QuorFaults QuorFaults::mergedWith(const QuorFaults& other) const
{
    QuorFaults m = *this;
    m.rejectCredentials = rejectCredentials || other.rejectCredentials;
    m.rejectedUsernames += other.rejectedUsernames;
    m.allServersUnreachable = allServersUnreachable || other.allServersUnreachable;
    m.unreachableServers += other.unreachableServers;
    if (!m.dropAfterSeconds)
        m.dropAfterSeconds = other.dropAfterSeconds;
    if (!m.disconnectAfterSeconds)
        m.disconnectAfterSeconds = other.disconnectAfterSeconds;
    if (!m.unableToBrowseAfterSeconds)
        m.unableToBrowseAfterSeconds = other.unableToBrowseAfterSeconds;
    if (!m.connectErrorCode)
        m.connectErrorCode = other.connectErrorCode;
    m.inventoryUnavailable = inventoryUnavailable || other.inventoryUnavailable;
    m.recommendedLocationUnavailable = recommendedLocationUnavailable || other.recommendedLocationUnavailable;
    return m;
}

std::optional<QuorFaults> QuorFaults::fromJson(const QJsonObject& o)
{
    QuorFaults f;
    if (!flag(o, "reject_credentials", f.rejectCredentials)
        || !stringList(o, "rejected_usernames", f.rejectedUsernames)
        || !flag(o, "all_servers_unreachable", f.allServersUnreachable)
        || !stringList(o, "unreachable_servers", f.unreachableServers)
        || !optionalSeconds(o, "drop_after_seconds", f.dropAfterSeconds)
        || !optionalSeconds(o, "disconnect_after_seconds", f.disconnectAfterSeconds)
        || !optionalSeconds(o, "unable_to_browse_after_seconds", f.unableToBrowseAfterSeconds)
        || !optionalInt(o, "connect_error_code", f.connectErrorCode)
        || !flag(o, "inventory_unavailable", f.inventoryUnavailable)
        || !flag(o, "recommended_location_unavailable", f.recommendedLocationUnavailable))
        return std::nullopt;
    return f;
}

QJsonObject QuorFaults::toJson() const
{
    QJsonObject o;
    if (rejectCredentials)
        o.insert(QStringLiteral("reject_credentials"), true);
    if (!rejectedUsernames.isEmpty())
        o.insert(QStringLiteral("rejected_usernames"), QJsonArray::fromStringList(rejectedUsernames));
    if (allServersUnreachable)
        o.insert(QStringLiteral("all_servers_unreachable"), true);
    if (!unreachableServers.isEmpty())
        o.insert(QStringLiteral("unreachable_servers"), QJsonArray::fromStringList(unreachableServers));
    if (dropAfterSeconds)
        o.insert(QStringLiteral("drop_after_seconds"), *dropAfterSeconds);
    if (disconnectAfterSeconds)
        o.insert(QStringLiteral("disconnect_after_seconds"), *disconnectAfterSeconds);
    if (unableToBrowseAfterSeconds)
        o.insert(QStringLiteral("unable_to_browse_after_seconds"), *unableToBrowseAfterSeconds);
    if (connectErrorCode)
        o.insert(QStringLiteral("connect_error_code"), *connectErrorCode);
    if (inventoryUnavailable)
        o.insert(QStringLiteral("inventory_unavailable"), true);
    if (recommendedLocationUnavailable)
        o.insert(QStringLiteral("recommended_location_unavailable"), true);
    return o;
}

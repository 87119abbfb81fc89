#include "QuorDataFetcherServer.h"

#include "JsonFields.h"

#include <QJsonArray>
#include <QMetaProperty>

using namespace JsonFields;
using Server = QuorDataFetcherServer;

namespace {

std::optional<QList<VPNProtocol>> protocolsFromJson(const QJsonArray& array)
{
    QList<VPNProtocol> protocols;
    for (const QJsonValue& element : array) {
        qint64 raw = 0;
        if (!integer(element, raw))
            return std::nullopt;
        std::optional<VPNProtocol> protocol = fromRaw<VPNProtocol>(raw);
        if (!protocol)
            return std::nullopt;
        protocols.append(*protocol);
    }
    return protocols;
}

// Optional with a default: a missing key or null keeps the default.
bool defaultedBool(const QJsonObject& object, QLatin1StringView key, bool& out)
{
    std::optional<bool> value;
    if (!optionalBool(object, key, value))
        return false;
    out = value.value_or(out);
    return true;
}

}

Server::QuorDataFetcherServer(QString id, QString name, Type type, QString code)
    : id(std::move(id)), type(type), code(std::move(code)), name(std::move(name))
{
}

Server::Ptr Server::make(QString id, QString name, Type type, QString code)
{
    return std::make_shared<Server>(std::move(id), std::move(name), type, std::move(code));
}

QVariant Server::value(const char* key) const
{
    const int index = staticMetaObject.indexOfProperty(key);
    if (index < 0)
        return {};
    return staticMetaObject.property(index).readOnGadget(this);
}

bool Server::setValue(const char* key, const QVariant& value)
{
    const int index = staticMetaObject.indexOfProperty(key);
    if (index < 0)
        return false;
    return staticMetaObject.property(index).writeOnGadget(this, value);
}

std::optional<Server> Server::fromJson(const QJsonObject& object)
{
    QString id, host, ip, code, name;
    qint64 typeRaw = 0, latency = 0;
    bool favorite = false;
    if (!requiredString(object, QLatin1StringView("id"), id)
        || !requiredInteger(object, QLatin1StringView("type"), typeRaw)
        || !requiredString(object, QLatin1StringView("host"), host)
        || !requiredString(object, QLatin1StringView("ip"), ip)
        || !requiredString(object, QLatin1StringView("code"), code)
        || !requiredString(object, QLatin1StringView("name"), name)
        || !requiredInteger(object, QLatin1StringView("latency"), latency)
        || !requiredBool(object, QLatin1StringView("favorite"), favorite))
        return std::nullopt;
    const std::optional<Type> type = fromRaw<Type>(typeRaw);
    if (!type)
        return std::nullopt;

    Server server(id, name, *type, code);
    server.host = host;
    server.ip = ip;
    server.latency = latency;
    server.favorite = favorite;
    std::optional<qint64> priority;
    std::optional<QJsonObject> shortcut;
    std::optional<QJsonArray> protocols;
    if (!defaultedBool(object, QLatin1StringView("p2p"), server.p2p)
        || !defaultedBool(object, QLatin1StringView("quantumResistant"), server.quantumResistant)
        || !optionalInteger(object, QLatin1StringView("priority"), priority)
        || !optionalObject(object, QLatin1StringView("shortcut"), shortcut)
        || !optionalArray(object, QLatin1StringView("protocols"), protocols)
        || !optionalList<DedicatedIPHost>(object, QLatin1StringView("hosts"), server.hosts))
        return std::nullopt;
    server.priority = priority.value_or(0);
    if (shortcut) {
        server.shortcut = Shortcut::fromJson(*shortcut);
        if (!server.shortcut)
            return std::nullopt;
    }
    if (protocols) {
        server.protocols = protocolsFromJson(*protocols);
        if (!server.protocols)
            return std::nullopt;
    }
    return server;
}

Server::Ptr Server::fromJsonShared(const QJsonObject& object)
{
    std::optional<Server> server = fromJson(object);
    return server ? std::make_shared<Server>(std::move(*server)) : nullptr;
}

QJsonObject Server::toJson() const
{
    QJsonObject object{
        {QStringLiteral("id"), id},
        {QStringLiteral("type"), toRaw(type)},
        {QStringLiteral("host"), host},
        {QStringLiteral("code"), code},
        {QStringLiteral("name"), name},
        {QStringLiteral("latency"), latency},
        {QStringLiteral("favorite"), favorite},
        {QStringLiteral("p2p"), p2p},
        {QStringLiteral("priority"), priority},
        {QStringLiteral("ip"), ip},
        {QStringLiteral("quantumResistant"), quantumResistant},
    };
    if (shortcut)
        object.insert(QStringLiteral("shortcut"), shortcut->toJson());
    if (protocols) {
        QJsonArray raws;
        for (VPNProtocol protocol : *protocols)
            raws.append(toRaw(protocol));
        object.insert(QStringLiteral("protocols"), raws);
    }
    if (hosts)
        object.insert(QStringLiteral("hosts"), encodeList(*hosts));
    return object;
}

std::optional<QList<Server::Ptr>> Server::array(const QVariantList& objects)
{
    QList<Ptr> rows;
    rows.reserve(objects.size());
    for (const QVariant& object : objects) {
        if (object.metaType() != QMetaType::fromType<Ptr>())
            return std::nullopt;
        Ptr row = object.value<Ptr>();
        if (!row)
            return std::nullopt;
        rows.append(std::move(row));
    }
    return rows;
}

#pragma once

#include "DedicatedIPHost.h"
#include "QuorDataFetcherDataCenter.h"
#include "QuorDataFetcherServerShortcut.h"
#include "QuorDataFetcherServerType.h"
#include "VPNProtocol.h"

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <limits>
#include <memory>
#include <optional>

// One place that can be connected to: a country, a city, the fastest server, a dedicated IP or a
// shortcut. QuorDataFetcher (vpn) exposes it as QuorDataFetcher::Server.
//
// Rows are shared between lists and changed in place, so they travel as Ptr. Two rows denote the
// same location when their ids are equal (exact, case-sensitive); object identity means nothing.
// The seven list-facing fields are properties, readable and writable by name for filters, sorting
// and bindings.
class QuorDataFetcherServer {
    Q_GADGET
    Q_PROPERTY(QString code MEMBER code)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(qint64 latency MEMBER latency)
    Q_PROPERTY(bool favorite MEMBER favorite)
    Q_PROPERTY(bool p2p MEMBER p2p)
    Q_PROPERTY(qint64 priority MEMBER priority)
    Q_PROPERTY(bool quantumResistant MEMBER quantumResistant)

public:
    using Ptr = std::shared_ptr<QuorDataFetcherServer>;
    using Type = QuorDataFetcherServerType;
    using Shortcut = QuorDataFetcherServerShortcut;
    using DataCenter = QuorDataFetcherDataCenter;

    // Latency of a row that was never pinged.
    static constexpr qint64 notMeasured = std::numeric_limits<qint64>::max();

    QuorDataFetcherServer(QString id, QString name, Type type, QString code);
    static Ptr make(QString id, QString name, Type type, QString code);

    QString id;  // country code, or the decimal city id of the VPN SDK
    Type type;
    QString host;
    QString ip;
    std::optional<QList<Ptr>> servers;  // a country's cities; never coded
    std::optional<QList<DedicatedIPHost>> hosts;
    std::optional<QList<DataCenter>> dataCenters;  // never coded
    std::optional<Shortcut> shortcut;
    std::optional<QList<VPNProtocol>> protocols;
    QString code;
    QString name;
    qint64 latency = notMeasured;
    bool favorite = false;
    bool p2p = false;
    qint64 priority = 0;
    bool quantumResistant = false;

    bool isSameLocation(const QuorDataFetcherServer& other) const { return id == other.id; }

    // Key-value access to the properties above; an unknown key reads as an invalid QVariant and
    // refuses writes.
    QVariant value(const char* key) const;
    bool setValue(const char* key, const QVariant& value);

    static std::optional<QuorDataFetcherServer> fromJson(const QJsonObject& object);
    static Ptr fromJsonShared(const QJsonObject& object);  // null when decoding fails
    QJsonObject toJson() const;

    // The rows held in an untyped list (list-view content): none when any element is not a row.
    static std::optional<QList<Ptr>> array(const QVariantList& objects);
};

Q_DECLARE_METATYPE(QuorDataFetcherServer::Ptr)

#include "PacketFilter.h"

#include "HelperInfo.h"
#include "HelperProtocol.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <arpa/inet.h>

PacketFilter::PacketFilter(Config config)
    : config_(std::move(config))
    , runner_(config_.toolTimeoutSeconds)
{
}

QString PacketFilter::rulesFile() const
{
    return QDir(config_.rulesFolder).filePath(QStringLiteral("com.iks.rules.") + HelperInfo::bundleIdentifier);
}

std::expected<void, QString> PacketFilter::writeFirewallRules(const QString& rules) const
{
    QSaveFile file(rulesFile());
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray bytes = rules.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return std::unexpected(file.errorString());
    return {};
}

QByteArray PacketFilter::loadTransaction(const QString& rules)
{
    const QString table = tableFamily + u' ' + tableName;
    // Declaring the table first makes the delete succeed when it is not loaded yet.
    return QStringLiteral("table %1\ndelete table %1\ntable %1 {\n%2\n}\n").arg(table, rules).toUtf8();
}

QByteArray PacketFilter::removeTransaction()
{
    const QString table = tableFamily + u' ' + tableName;
    return QStringLiteral("table %1\ndelete table %1\n").arg(table).toUtf8();
}

QStringList PacketFilter::tool(const QStringList& base, const QStringList& arguments) const
{
    return base + arguments;
}

ToolRunner::Result PacketFilter::load(const QString& rules) const
{
    return runner_.run(tool(config_.nft, { QStringLiteral("-f"), QStringLiteral("-") }), loadTransaction(rules));
}

ToolRunner::Result PacketFilter::remove() const
{
    return runner_.run(tool(config_.nft, { QStringLiteral("-f"), QStringLiteral("-") }), removeTransaction());
}

ToolRunner::Result PacketFilter::list(const ToolRunner::OutputHandler& onOutput) const
{
    return runner_.run(tool(config_.nft, { QStringLiteral("list"), QStringLiteral("table"), tableFamily, tableName }),
        {}, onOutput);
}

ToolRunner::Result PacketFilter::stopUnits() const
{
    const QString stem = HelperProtocol::serviceName;
    return runner_.run(tool(config_.systemctl, { QStringLiteral("--no-block"), QStringLiteral("stop"),
        stem + QStringLiteral(".socket"), stem + QStringLiteral(".service") }));
}

std::optional<QString> PacketFilter::canonicalAddress(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    if (text.isEmpty() || text.size() > 64 || QString::fromLatin1(bytes) != text)
        return std::nullopt;
    unsigned char address[16];
    char printed[INET6_ADDRSTRLEN];
    if (::inet_pton(AF_INET, bytes.constData(), address) == 1)
        return QString::fromLatin1(::inet_ntop(AF_INET, address, printed, sizeof(printed)));
    if (::inet_pton(AF_INET6, bytes.constData(), address) == 1)
        return QString::fromLatin1(::inet_ntop(AF_INET6, address, printed, sizeof(printed)));
    return std::nullopt;
}

bool PacketFilter::containsAddress(const QString& rules, const QString& address)
{
    if (address.isEmpty())
        return false;
    const auto partOfAddress = [](QChar c) {
        return c.isDigit() || c == u'.' || c == u':' || (c.toLower() >= u'a' && c.toLower() <= u'f');
    };
    for (qsizetype at = rules.indexOf(address); at >= 0; at = rules.indexOf(address, at + 1)) {
        const qsizetype end = at + address.size();
        const bool cleanStart = at == 0 || !partOfAddress(rules.at(at - 1));
        const bool cleanEnd = end == rules.size() || !partOfAddress(rules.at(end));
        if (cleanStart && cleanEnd)
            return true;
    }
    return false;
}
